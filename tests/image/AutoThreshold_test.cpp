// The automatic white threshold: the sampling grid of sampleHistogram (where it
// reads, how often, its margins) and the two-peak rule of
// thresholdFromHistogram, including score overflow and tie breaks.
#include "image/PixelImage.h"

#include "TestDibs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <utility>
#include <vector>

using image_test::DibBuffer;
using image_test::ExpectQnc;

namespace {

struct HistogramCase {
    const char* name;
    std::vector<std::pair<int, std::uint32_t>> bins;
    int threshold;
};

class ThresholdRule : public ::testing::TestWithParam<HistogramCase> {};

TEST_P(ThresholdRule, PicksTheExpectedThreshold) {
    PixelImage::Histogram counts{};
    for (const auto& [level, count] : GetParam().bins) counts[static_cast<std::size_t>(level)] = count;
    EXPECT_EQ(PixelImage::thresholdFromHistogram(counts), GetParam().threshold);
}

INSTANTIATE_TEST_SUITE_P(Histograms, ThresholdRule,
                         ::testing::Values(
                             // One level only: the second peak falls back to 20 levels away.
                             HistogramCase{"single200", {{200, 500}}, 200},  // (200 + 180) / 2 + 10
                             HistogramCase{"single100", {{100, 500}}, 120},  // (100 + 120) / 2 + 10
                             HistogramCase{"single129", {{129, 500}}, 129},  // falls back downwards from 129 on
                             HistogramCase{"single128", {{128, 500}}, 148},  // and upwards below it
                             HistogramCase{"clamped", {{255, 500}}, 254},    // (255 + 235) / 2 + 10 = 255 -> 254
                             HistogramCase{"bimodal", {{230, 700}, {30, 300}}, 140},
                             // A local peak closer than 20 levels to the main one does not count.
                             HistogramCase{"tooClose", {{200, 1000}, {185, 500}}, 200},
                             // count^2 * distance^2 of the far peak is 5.8e9: it must win, not wrap.
                             HistogramCase{"noOverflow", {{255, 5000}, {1, 300}, {200, 1000}}, 138},
                             // Ties: the lowest main level, the first second peak.
                             HistogramCase{"mainTie", {{140, 10}, {141, 10}}, 140},
                             HistogramCase{"secondTie", {{128, 100}, {28, 10}, {228, 10}}, 88},
                             // A plateau counts once, at its left end (next count <= this one).
                             HistogramCase{"plateau", {{40, 900}, {150, 60}, {151, 60}, {152, 60}}, 105},
                             // A slope is no peak: 60 has a higher neighbour.
                             HistogramCase{"slope", {{200, 900}, {60, 50}, {61, 70}}, 140}),
                         [](const ::testing::TestParamInfo<HistogramCase>& info) {
                             return std::string(info.param.name);
                         });

// Where sampleHistogram reads, restated from the sampling rule: a 12-pixel
// grid, jitter k mod 13 along the diagonal, margins of 2 % (12 / 14 at least).
std::vector<std::pair<int, int>> SamplePositions(int w, int h) {
    const int mx = static_cast<int>(w * 0.02);
    const int my = static_cast<int>(h * 0.02);
    std::vector<std::pair<int, int>> out;
    unsigned k = 0;
    for (int y = std::max(my, 12); y < h - std::max(my, 14); y += 12) {
        ++k;
        for (int x = std::max(mx, 12); x < w - std::max(mx, 14); x += 12) {
            const int j = static_cast<int>(k % 13);
            out.emplace_back(x + j, y + j);
            ++k;
        }
    }
    return out;
}

class SampleGrid : public ::testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(SampleGrid, ReadsExactlyTheGridPositions) {
    const auto [w, h, rotated] = GetParam();
    // Page size such that the view is w x h.
    DibBuffer dib(rotated ? h : w, rotated ? w : h, 8);
    PixelImage im(dib.header());
    im.setRotatedView(rotated);
    ASSERT_EQ(im.viewWidth(), w);
    const auto positions = SamplePositions(w, h);
    ASSERT_FALSE(positions.empty());
    for (const auto& [x, y] : positions) im.setPixel(x, y, 255);
    PixelImage::Histogram counts{};
    counts[7] = 99;  // stale contents are cleared
    im.sampleHistogram(counts);
    EXPECT_EQ(counts[255], positions.size());
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}), positions.size());
}

INSTANTIATE_TEST_SUITE_P(Sizes, SampleGrid,
                         ::testing::Values(std::tuple{36, 36, false}, std::tuple{100, 60, false},
                                           std::tuple{701, 403, false}, std::tuple{100, 60, true},
                                           std::tuple{403, 701, true}));

TEST(SampleGrid, SampleCountOfAKnownSize) {
    // 100 x 60: rows at 12, 24, 36 (< 46); columns 12 .. 84 (< 86): 3 x 7.
    DibBuffer dib(100, 60, 8);
    PixelImage im(dib.header());
    PixelImage::Histogram counts{};
    im.sampleHistogram(counts);
    EXPECT_EQ(counts[0], 21u);
}

TEST(SampleGrid, RefusesViewsUnderThreeMargins) {
    for (const auto& [w, h] : {std::pair{35, 100}, std::pair{100, 35}, std::pair{8, 8}}) {
        DibBuffer dib(w, h, 8);
        PixelImage im(dib.header());
        PixelImage::Histogram counts{};
        ExpectQnc([&] { im.sampleHistogram(counts); }, "Image too small", 2165);
        EXPECT_EQ(im.cursor(), nullptr);
    }
    DibBuffer smallest(36, 36, 8);  // exactly three margins each way: one sample
    PixelImage im(smallest.header());
    PixelImage::Histogram counts{};
    im.sampleHistogram(counts);
    EXPECT_EQ(counts[0], 1u);
}

TEST(SampleGrid, ColourSamplesFallInTheMeanBin) {
    DibBuffer dib(50, 50, 24);
    dib.fill({31, 20, 10});  // (10 + 20 + 31) / 3 = 20
    PixelImage im(dib.header());
    PixelImage::Histogram counts{};
    im.sampleHistogram(counts);
    EXPECT_GT(counts[20], 0u);
    EXPECT_EQ(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}), counts[20]);
}

struct UniformCase {
    int bits;
    std::uint8_t level;
    int threshold;
};

class AutoThresholdUniform : public ::testing::TestWithParam<UniformCase> {};

TEST_P(AutoThresholdUniform, FallsBackTwentyLevelsAway) {
    const UniformCase& c = GetParam();
    DibBuffer dib(60, 40, c.bits);
    dib.fill({c.level, c.level, c.level});
    PixelImage im(dib.header());
    PixelCursor mine;
    im.setCursor(&mine);
    im.computeAutoThreshold();
    EXPECT_EQ(im.whiteThreshold(), c.threshold);
    EXPECT_EQ(im.cursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Levels, AutoThresholdUniform,
                         ::testing::Values(UniformCase{8, 200, 200}, UniformCase{8, 100, 120},
                                           UniformCase{24, 200, 600}, UniformCase{24, 100, 360}));

TEST(AutoThreshold, TextOnPaperSitsBetweenInkAndPaper) {
    DibBuffer dib(240, 240, 8);
    dib.fill({235, 235, 235});
    // Ink: every third column band dark, enough to form the second peak.
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 240; ++x)
            if ((x / 5) % 3 == 0) dib.set(x, y, {25, 25, 25});
    PixelImage im(dib.header());
    im.computeAutoThreshold();
    EXPECT_EQ(im.whiteThreshold(), (235 + 25) / 2 + 10);
}

}  // namespace
