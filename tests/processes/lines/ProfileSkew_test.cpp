// The profile analyzer ("Text"): reduction by nearest sample, the profile
// variances against a pixel-by-pixel reference, and measured angles of
// synthetic text pages.
#include "image/PixelImage.h"
#include "processes/lines/ProfileSkewAnalyzer.h"
#include "tests/processes/lines/LinePages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using lines_test::BlankHandle;
using lines_test::IsBlack;
using lines_test::SetBlack;

class Handle {
public:
    explicit Handle(int handle) : handle_(handle) {}
    ~Handle() { ImageWrapper::delete_bitmap(handle_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    BITMAPINFOHEADER* dib() const { return ImageWrapper::get_raw_dib(handle_); }

private:
    int handle_;
};

struct ReduceCase {
    int width, height;
    int factor;
};

class ReduceTest : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(ReduceTest, NearestSampleOfEachCellsTopLeftPixel) {
    const ReduceCase c = GetParam();
    Handle page(BlankHandle(c.width, c.height, 1));
    // A sparse pattern that the sampling grid either hits or misses.
    for (int y = 0; y < c.height; y += 7)
        for (int x = (y / 7) % 5; x < c.width; x += 5) SetBlack(page.dib(), x, y);
    PixelImage image(page.dib());
    PixelImage reduced = ProfileSkewAnalyzer::reduce(image);
    const int s = c.factor;
    ASSERT_EQ(reduced.width(), (c.width + s - 1) / s);
    ASSERT_EQ(reduced.height(), (c.height + s - 1) / s);
    EXPECT_EQ(reduced.bitCount(), 1);
    for (int v = 0; v < reduced.height(); ++v)
        for (int u = 0; u < reduced.width(); ++u)
            ASSERT_EQ(!reduced.isWhite(u, v), IsBlack(page.dib(), u * s, v * s)) << u << "," << v;
    EXPECT_EQ(image.cursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReduceTest,
                         ::testing::Values(ReduceCase{150, 150, 1}, ReduceCase{420, 700, 2}, ReduceCase{1240, 1754, 6},
                                           ReduceCase{2480, 3508, 12}, ReduceCase{3400, 3300, 15},
                                           ReduceCase{100, 9, 1}));

// The profile of trial t, counted pixel by pixel through getPixel as the
// method reads: row r counts (c, r - shift) of the window when that row is
// inside it and the colour sum is below 384.
std::vector<float> ReferenceVariances(const PixelImage& reduced) {
    const int w = reduced.width();
    const int h = reduced.height();
    const int x0 = static_cast<int>(0.1 * w);
    const int y0 = static_cast<int>(0.1 * h);
    const int ww = static_cast<int>(0.9 * w);
    const int hh = static_cast<int>(0.9 * h);
    std::vector<float> variances;
    for (int t = 0; t < 40; ++t) {
        const float a = -10.0f + 0.5f * static_cast<float>(t);
        std::vector<int> profile(static_cast<std::size_t>(hh), 0);
        for (int r = 0; r < hh; ++r) {
            for (int c = 0; c < ww; ++c) {
                const int shift = static_cast<int>(c * (static_cast<double>(a) / 180.0 * std::numbers::pi));
                const int row = r - shift;
                if (row < 0 || row >= hh) continue;
                std::uint8_t red, green, blue;
                reduced.getPixel(x0 + c, y0 + row, red, green, blue);
                if (red + green + blue < 384) ++profile[static_cast<std::size_t>(r)];
            }
        }
        double sum = 0;
        for (int p : profile) sum += p;
        const double mean = sum / hh;
        double squares = 0;
        for (int p : profile) squares += (p - mean) * (p - mean);
        variances.push_back(static_cast<float>(squares / hh));
    }
    return variances;
}

class ProfileVarianceTest : public ::testing::TestWithParam<double> {};

TEST_P(ProfileVarianceTest, ColumnRunsGiveThePixelByPixelVariances) {
    Handle page(lines_test::TextPage(100, GetParam()));
    PixelImage image(page.dib());
    PixelImage reduced = ProfileSkewAnalyzer::reduce(image);
    ProfileSkewAnalyzer analyzer(nullptr);
    analyzer.measure(reduced);
    const std::vector<float> reference = ReferenceVariances(reduced);
    ASSERT_EQ(analyzer.variances().size(), reference.size());
    for (std::size_t t = 0; t < reference.size(); ++t) EXPECT_EQ(analyzer.variances()[t], reference[t]) << t;
}

INSTANTIATE_TEST_SUITE_P(Skews, ProfileVarianceTest, ::testing::Values(0.0, 4.5, -7.0));

TEST(ProfileSkewTest, WindowIsNineTenthsFromTheTenthMark) {
    Handle page(lines_test::TextPage(100, 0.0));
    PixelImage image(page.dib());
    PixelImage reduced = ProfileSkewAnalyzer::reduce(image);
    ProfileSkewAnalyzer analyzer(nullptr);
    analyzer.measure(reduced);
    EXPECT_EQ(analyzer.windowX(), static_cast<int>(0.1 * reduced.width()));
    EXPECT_EQ(analyzer.windowY(), static_cast<int>(0.1 * reduced.height()));
    EXPECT_EQ(analyzer.windowWidth(), static_cast<int>(0.9 * reduced.width()));
    EXPECT_EQ(analyzer.windowHeight(), static_cast<int>(0.9 * reduced.height()));
}

class UniformPageTest : public ::testing::TestWithParam<bool> {};

// A window of one colour has no skew to measure (an all-black page would
// otherwise score its largest trial shear).
TEST_P(UniformPageTest, MeasuresZero) {
    Handle page(BlankHandle(800, 1000, 1));
    if (GetParam()) lines_test::FillBlack(page.dib());
    PixelImage image(page.dib());
    ProfileSkewAnalyzer analyzer(nullptr);
    EXPECT_EQ(analyzer.profileSkew(image), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Colours, UniformPageTest, ::testing::Values(false, true));

TEST(ProfileSkewTest, OneRowPageMeasuresZero) {
    Handle page(BlankHandle(400, 1, 1));
    lines_test::FillBlack(page.dib());
    SetBlack(page.dib(), 3, 0);
    PixelImage image(page.dib());
    ProfileSkewAnalyzer analyzer(nullptr);
    EXPECT_EQ(analyzer.profileSkew(image), 0.0f);
}

class TextSkewTest : public ::testing::TestWithParam<double> {};

// Clockwise skew (text falling to the right) measures negative.
TEST_P(TextSkewTest, FindsTheHalfDegreeStep) {
    Handle page(lines_test::TextPage(150, GetParam()));
    PixelImage image(page.dib());
    ProfileSkewAnalyzer analyzer(nullptr);
    EXPECT_FLOAT_EQ(analyzer.profileSkew(image), static_cast<float>(-GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Skews, TextSkewTest, ::testing::Values(-9.5, -6.0, -2.5, -1.0, 0.0, 0.5, 3.5, 7.0, 9.5));

}  // namespace
