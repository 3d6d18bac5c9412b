// Inversion and depth conversion: exact pixel values and round trips.
#include "TestPages.h"

using namespace imagelib_test;

class PixelOpsByDepth : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Depths, PixelOpsByDepth, ::testing::Values(1, 8, 24));

TEST_P(PixelOpsByDepth, InvertFlipsEveryPixelAndTwiceRestores) {
    const int bits = GetParam();
    Page page(MakePattern(19, 7, bits));
    const auto before = page.rows();
    ASSERT_EQ(ImageWrapper::invert_bitmap(page.handle()), IMG_OK);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) ASSERT_EQ(Get(page.dib(), x, y), White(bits) - PatternValue(bits, x, y));
    ASSERT_EQ(ImageWrapper::invert_bitmap(page.handle()), IMG_OK);
    EXPECT_EQ(page.rows(), before);
}

TEST(BitDepth, BinaryToColourAndBackIsLossless) {
    Page page(MakePattern(45, 17, 1));
    const auto before = page.rows();
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle(), 24, false), IMG_OK);
    ASSERT_EQ(page.bits(), 24);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 45; ++x) ASSERT_EQ(Get(page.dib(), x, y), PatternValue(1, x, y) ? 0xFFFFFFu : 0u);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle(), 8, false), IMG_OK);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle(), 1, false), IMG_OK);
    EXPECT_EQ(page.rows(), before);
    EXPECT_EQ(page.dib()->biXPelsPerMeter, 300);
}

TEST(BitDepth, ColourToGreyUsesLuminance) {
    Page page(3, 1, 24);
    Set(page.dib(), 0, 0, 0xFF0000);
    Set(page.dib(), 1, 0, 0x00FF00);
    Set(page.dib(), 2, 0, 0x0000FF);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle(), 8, false), IMG_OK);
    EXPECT_NEAR(Get(page.dib(), 0, 0), 76, 2);
    EXPECT_NEAR(Get(page.dib(), 1, 0), 150, 2);
    EXPECT_NEAR(Get(page.dib(), 2, 0), 29, 2);
}

TEST(BitDepth, FlagChoosesThresholdFromThePage) {
    // Dark text (40) on a dim background (110): the fixed threshold 128 turns
    // everything black, the automatic one separates text from background.
    auto make = [] {
        const int handle = ImageWrapper::create_handle_from_scratch(32, 32, 8);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) Set(ImageWrapper::get_raw_dib(handle), x, y, (x / 4) % 3 == 0 ? 40 : 110);
        return handle;
    };
    Page fixed(make()), automatic(make());
    ASSERT_EQ(ImageWrapper::set_bit_depth(fixed.handle(), 1, false), IMG_OK);
    ASSERT_EQ(ImageWrapper::set_bit_depth(automatic.handle(), 1, true), IMG_OK);
    for (int x = 0; x < 32; ++x) {
        EXPECT_EQ(Get(fixed.dib(), x, 5), 0u);
        EXPECT_EQ(Get(automatic.dib(), x, 5), (x / 4) % 3 == 0 ? 0u : 1u) << x;
    }
    Page grey(4, 1, 8);
    Set(grey.dib(), 0, 0, 127);
    Set(grey.dib(), 1, 0, 128);
    ASSERT_EQ(ImageWrapper::set_bit_depth(grey.handle(), 1, false), IMG_OK);
    EXPECT_EQ(Get(grey.dib(), 0, 0), 0u);
    EXPECT_EQ(Get(grey.dib(), 1, 0), 1u);
    EXPECT_EQ(ImageWrapper::set_bit_depth(grey.handle(), 16, false), IMG_UNSUPPORTED_COLOR);
    EXPECT_EQ(grey.bits(), 1);
}
