// Rotation, resizing, cropping and canvas growth: sizes, pixel placement, fill.
#include "TestPages.h"

#include <set>

using namespace imagelib_test;

class GeometryByDepth : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, GeometryByDepth, ::testing::Values(1, 8, 24));

TEST_P(GeometryByDepth, QuarterTurnIsClockwiseAndExact) {
    const int bits = GetParam();
    Page original(MakePattern(37, 23, bits));
    Page page(ImageWrapper::create_handle_from_dib(original.dib()));
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 90.0), IMG_OK);
    ASSERT_EQ(page.width(), 23);
    ASSERT_EQ(page.height(), 37);
    ASSERT_EQ(page.bits(), bits);
    // Clockwise: the page's left column becomes its top row, read bottom to top.
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(Get(page.dib(), 22 - y, x), PatternValue(bits, x, y)) << x << "," << y;
    for (int turn = 0; turn < 3; ++turn) ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 90.0), IMG_OK);
    EXPECT_EQ(page.rows(), original.rows());
}

TEST_P(GeometryByDepth, HalfTurnsAndNegativeQuarterTurns) {
    const int bits = GetParam();
    Page original(MakePattern(29, 19, bits));
    Page page(ImageWrapper::create_handle_from_dib(original.dib()));
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 180.0), IMG_OK);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 29; ++x) ASSERT_EQ(Get(page.dib(), 28 - x, 18 - y), PatternValue(bits, x, y));
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), -180.0), IMG_OK);
    EXPECT_EQ(page.rows(), original.rows());
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), -90.0), IMG_OK);
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 450.0), IMG_OK);
    EXPECT_EQ(page.rows(), original.rows());
    EXPECT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 0.0), IMG_OK);
    EXPECT_EQ(ImageWrapper::rotate_bitmap(page.handle(), std::numeric_limits<double>::quiet_NaN()), IMG_BAD_ARGUMENT);
    EXPECT_EQ(page.rows(), original.rows());
}

TEST(Rotate, TopLeftGoesTopRight) {
    Page page(40, 20, 1);
    Set(page.dib(), 0, 0, 0);
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 90.0), IMG_OK);
    EXPECT_EQ(Get(page.dib(), 19, 0), 0u);
    EXPECT_EQ(Get(page.dib(), 0, 0), 1u);
}

TEST_P(GeometryByDepth, SmallAngleGrowsCanvasWithWhiteCorners) {
    const int bits = GetParam();
    Page page(200, 300, bits);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    // A dark block in the middle; its area must survive the rotation.
    for (int y = 100; y < 200; ++y)
        for (int x = 50; x < 150; ++x) Set(page.dib(), x, y, 0);
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page.handle(), 3.0), IMG_OK);
    EXPECT_GT(page.width(), 200);
    EXPECT_GT(page.height(), 300);
    EXPECT_EQ(page.bits(), bits);
    EXPECT_EQ(page.dib()->biXPelsPerMeter, 300);
    const int w = page.width(), h = page.height();
    for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}})
        EXPECT_EQ(Get(page.dib(), x, y), White(bits)) << x << "," << y;
    int dark = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) dark += Get(page.dib(), x, y) == 0;
    EXPECT_NEAR(dark, 10000, 600);
    // Clockwise: the block's top edge now falls to the right.
    auto firstDarkRow = [&](int x) {
        for (int y = 0; y < h; ++y)
            if (Get(page.dib(), x, y) == 0) return y;
        return -1;
    };
    EXPECT_GT(firstDarkRow(w / 2 + 40), firstDarkRow(w / 2 - 40));
}

TEST_P(GeometryByDepth, ResizeGivesRequestedSizeForEveryQuality) {
    const int bits = GetParam();
    for (const ResizeQuality q : {RESIZE_QUALITY_FAST, RESIZE_QUALITY_NORMAL, RESIZE_QUALITY_BEST}) {
        for (const auto& [w, h] : {std::pair{97, 61}, {17, 13}, {40, 90}}) {
            Page page(MakePattern(40, 30, bits));
            ImageWrapper::set_resolution(page.handle(), 150, 150);
            ASSERT_EQ(ImageWrapper::resize_bitmap(page.handle(), w, h, q), IMG_OK);
            EXPECT_EQ(page.width(), w);
            EXPECT_EQ(page.height(), h);
            EXPECT_EQ(page.bits(), bits);
            EXPECT_EQ(page.dib()->biXPelsPerMeter, 150);
        }
    }
    Page page(8, 8, bits);
    EXPECT_EQ(ImageWrapper::resize_bitmap(page.handle(), 0, 5, RESIZE_QUALITY_FAST), IMG_BAD_ARGUMENT);
    EXPECT_EQ(ImageWrapper::resize_bitmap(page.handle(), 5, 5, static_cast<ResizeQuality>(7)), IMG_BAD_ARGUMENT);
}

TEST(Resize, QualitiesAreReallyDifferent) {
    for (const auto& [w, h] : {std::pair{30, 20}, {150, 110}}) {
        std::vector<std::vector<BYTE>> results;
        std::set<std::uint32_t> levels;
        for (const ResizeQuality q : {RESIZE_QUALITY_FAST, RESIZE_QUALITY_NORMAL, RESIZE_QUALITY_BEST}) {
            Page page(MakePattern(64, 48, 8));
            ASSERT_EQ(ImageWrapper::resize_bitmap(page.handle(), w, h, q), IMG_OK);
            results.push_back(page.rows());
            if (q == RESIZE_QUALITY_FAST)
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) levels.insert(Get(page.dib(), x, y));
        }
        EXPECT_NE(results[0], results[1]);
        EXPECT_NE(results[1], results[2]);
        EXPECT_NE(results[0], results[2]);
        // Sampling only ever picks existing pixels of the pattern.
        std::set<std::uint32_t> source;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) source.insert(PatternValue(8, x, y));
        for (const auto v : levels) EXPECT_TRUE(source.contains(v)) << v;
    }
}

TEST(Resize, WhiteBinaryPageStaysWhite) {
    for (const ResizeQuality q : {RESIZE_QUALITY_FAST, RESIZE_QUALITY_NORMAL, RESIZE_QUALITY_BEST}) {
        Page page(50, 50, 1);
        ASSERT_EQ(ImageWrapper::resize_bitmap(page.handle(), 23, 91, q), IMG_OK);
        for (int y = 0; y < 91; ++y)
            for (int x = 0; x < 23; ++x) ASSERT_EQ(Get(page.dib(), x, y), 1u) << q;
    }
}

TEST_P(GeometryByDepth, CropCutsMarginsFromEachSide) {
    const int bits = GetParam();
    Page page(MakePattern(40, 30, bits));
    ASSERT_EQ(ImageWrapper::crop_bitmap(page.handle(), 2, 3, 4, 5), IMG_OK);
    ASSERT_EQ(page.width(), 34);
    ASSERT_EQ(page.height(), 22);
    for (int y = 0; y < 22; ++y)
        for (int x = 0; x < 34; ++x) ASSERT_EQ(Get(page.dib(), x, y), PatternValue(bits, x + 2, y + 3));
    ASSERT_EQ(ImageWrapper::crop_bitmap(page.handle(), -5, 0, 0, -1), IMG_OK);
    EXPECT_EQ(page.width(), 34);
    EXPECT_EQ(ImageWrapper::crop_bitmap(page.handle(), 20, 0, 14, 0), IMG_BAD_ARGUMENT);
    EXPECT_EQ(ImageWrapper::crop_bitmap(page.handle(), 0, 30, 0, 0), IMG_BAD_ARGUMENT);
    EXPECT_EQ(page.width(), 34);
}

TEST_P(GeometryByDepth, EnlargeCanvasAddsWhiteMargins) {
    const int bits = GetParam();
    Page page(MakePattern(21, 9, bits));
    ImageWrapper::set_resolution(page.handle(), 200, 200);
    ASSERT_EQ(ImageWrapper::enlarge_canvas(page.handle(), 1, 2, 3, 4), IMG_OK);
    ASSERT_EQ(page.width(), 25);
    ASSERT_EQ(page.height(), 15);
    EXPECT_EQ(page.dib()->biXPelsPerMeter, 200);
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 25; ++x) {
            const bool inside = x >= 1 && x < 22 && y >= 2 && y < 11;
            ASSERT_EQ(Get(page.dib(), x, y), inside ? PatternValue(bits, x - 1, y - 2) : White(bits)) << x << "," << y;
        }
    }
    EXPECT_EQ(ImageWrapper::enlarge_canvas(page.handle(), 0, 0, 0, 0), IMG_OK);
    EXPECT_EQ(ImageWrapper::enlarge_canvas(page.handle(), -1, 0, 0, 0), IMG_BAD_ARGUMENT);
    EXPECT_EQ(ImageWrapper::enlarge_canvas(page.handle(), 70000, 0, 0, 0), IMG_BAD_ARGUMENT);
    EXPECT_EQ(page.width(), 25);
}
