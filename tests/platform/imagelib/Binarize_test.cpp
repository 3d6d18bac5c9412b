// Black and white copies of grey and colour pages: the same grey levels as
// Leptonica's conversion and the same bits as its thresholding.
#include "platform/imagelib/ImageWrapper.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <random>

namespace {

struct Page {
    int handle;
    PIX* grey;  // Leptonica's grey version of the same pixels
};

// A noisy two-tone page (ink on paper) of the given depth, plus its grey Pix;
// with `uniform` every channel is random over 0..255 instead, so that many
// levels sit next to any threshold.
Page MakePage(int bits, int width, int height, bool uniform = false) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bits);
    ImageWrapper::set_resolution(handle, 200, 150);
    PIX* colour = pixCreate(width, height, 32);
    PIX* grey8 = pixCreate(width, height, 8);
    BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        BYTE* row = dib::Bits(h) + dib::Stride(width, h->biBitCount) * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const bool ink = ((x / 9) + (y / 7)) % 3 == 0;
            const int base = ink ? 60 : 200;
            auto channel = [&] {
                return uniform ? static_cast<int>(random() % 256)
                               : std::clamp(base + static_cast<int>(random() % 61) - 30, 0, 255);
            };
            const int r = channel();
            const int g = channel();
            const int b = channel();
            if (bits == 24) {
                row[3 * x] = static_cast<BYTE>(b);
                row[3 * x + 1] = static_cast<BYTE>(g);
                row[3 * x + 2] = static_cast<BYTE>(r);
                composeRGBPixel(r, g, b, pixGetData(colour) + y * pixGetWpl(colour) + x);
            } else {
                row[x] = static_cast<BYTE>(g);
                pixSetPixel(grey8, x, y, static_cast<l_uint32>(g));
            }
        }
    }
    PIX* grey = bits == 24 ? pixConvertRGBToGray(colour, 0.299f, 0.587f, 0.114f) : pixClone(grey8);
    pixDestroy(&colour);
    pixDestroy(&grey8);
    return Page{handle, grey};
}

// Whether the 1-bit page equals Leptonica's grey thresholded at `threshold`.
bool SameAsThreshold(int handle, PIX* grey, int threshold) {
    PIX* binary = pixThresholdToBinary(grey, threshold);
    const BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    bool same = true;
    for (int y = 0; y < h->biHeight && same; ++y) {
        const BYTE* row = dib::Bits(h) + dib::Stride(h->biWidth, 1) * (h->biHeight - 1 - y);
        for (int x = 0; x < h->biWidth; ++x) {
            l_uint32 black = 0;
            pixGetPixel(binary, x, y, &black);
            const bool white = (row[x / 8] >> (7 - x % 8)) & 1;
            if (white == (black != 0)) {
                same = false;
                break;
            }
        }
    }
    pixDestroy(&binary);
    return same;
}

class BinarizeTest : public ::testing::TestWithParam<int> {};

TEST_P(BinarizeTest, FixedThresholdMatchesLeptonicaBitForBit) {
    Page page = MakePage(GetParam(), 203, 61, true);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle, 1, false), 0);
    BITMAPINFOHEADER info{};
    ImageWrapper::bitmap_info(page.handle, &info);
    EXPECT_EQ(info.biBitCount, 1);
    EXPECT_EQ(info.biXPelsPerMeter, 200);
    EXPECT_EQ(info.biYPelsPerMeter, 150);
    EXPECT_TRUE(SameAsThreshold(page.handle, page.grey, 128));
    pixDestroy(&page.grey);
    ImageWrapper::delete_bitmap(page.handle);
}

TEST_P(BinarizeTest, AutomaticThresholdSplitsInkFromPaper) {
    Page page = MakePage(GetParam(), 203, 61);
    ASSERT_EQ(ImageWrapper::set_bit_depth(page.handle, 1, true), 0);
    // Ink levels lie in 30..90 and paper in 170..230: any threshold between
    // them gives the same bits, and the chosen one must be such a threshold.
    EXPECT_TRUE(SameAsThreshold(page.handle, page.grey, 130));
    pixDestroy(&page.grey);
    ImageWrapper::delete_bitmap(page.handle);
}

INSTANTIATE_TEST_SUITE_P(Depths, BinarizeTest, ::testing::Values(8, 24));

}  // namespace
