// Small-angle rotation of grey and colour pages: direction and position of
// known marks, white uncovered corners, kept depth and resolution, and
// agreement with Leptonica's area-mapped rotation of the same pixels.
#include "platform/imagelib/ImageWrapper.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// Grey value at (x, y) from the top-left (24-bit: the green channel).
int At(int handle, int x, int y) {
    const BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    const BYTE* row = dib::Bits(h) + dib::Stride(h->biWidth, h->biBitCount) * (h->biHeight - 1 - y);
    return h->biBitCount == 24 ? row[3 * x + 1] : row[x];
}

void Set(int handle, int x, int y, int value) {
    BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    BYTE* row = dib::Bits(h) + dib::Stride(h->biWidth, h->biBitCount) * (h->biHeight - 1 - y);
    if (h->biBitCount == 24)
        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<BYTE>(value);
    else
        row[x] = static_cast<BYTE>(value);
}

class FineRotationTest : public ::testing::TestWithParam<int> {};

TEST_P(FineRotationTest, MarkLandsWhereTheClockwiseTurnPutsIt) {
    const int w = 301, h = 201;
    const int page = ImageWrapper::create_handle_from_scratch(w, h, GetParam());
    ImageWrapper::set_resolution(page, 300, 200);
    // A 5 x 5 black mark 100 pixels right of the centre.
    for (int y = 98; y < 103; ++y)
        for (int x = 248; x < 253; ++x) Set(page, x, y, 0);
    const double degrees = 7.0;
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page, degrees), 0);
    BITMAPINFOHEADER info{};
    ImageWrapper::bitmap_info(page, &info);
    EXPECT_EQ(info.biBitCount, GetParam());
    EXPECT_EQ(info.biXPelsPerMeter, 300);
    EXPECT_EQ(info.biYPelsPerMeter, 200);
    const double r = degrees * std::numbers::pi / 180.0;
    EXPECT_EQ(info.biWidth, static_cast<LONG>(std::ceil(w * std::cos(r) + h * std::sin(r) - 1e-6)));
    EXPECT_EQ(info.biHeight, static_cast<LONG>(std::ceil(w * std::sin(r) + h * std::cos(r) - 1e-6)));
    // Clockwise on screen (y down): right of centre moves down.
    const double cx = (info.biWidth - 1) / 2.0 + 100 * std::cos(r);
    const double cy = (info.biHeight - 1) / 2.0 + 100 * std::sin(r);
    EXPECT_LT(At(page, static_cast<int>(std::lround(cx)), static_cast<int>(std::lround(cy))), 40);
    EXPECT_EQ(At(page, static_cast<int>(std::lround(cx)), static_cast<int>(std::lround(cy)) - 20), 255);
    // Uncovered corners are white.
    EXPECT_EQ(At(page, 0, 0), 255);
    EXPECT_EQ(At(page, info.biWidth - 1, info.biHeight - 1), 255);
    ImageWrapper::delete_bitmap(page);
}

TEST_P(FineRotationTest, AgreesWithAreaMappedRotation) {
    const int w = 240, h = 160;
    const int page = ImageWrapper::create_handle_from_scratch(w, h, GetParam());
    PIX* pix = pixCreate(w, h, 8);
    std::mt19937 random(5);
    // Smooth content (blocks of grey) so that both resamplings are comparable.
    for (int by = 0; by < h; by += 8)
        for (int bx = 0; bx < w; bx += 8) {
            const int value = static_cast<int>(random() % 256);
            for (int y = by; y < by + 8; ++y)
                for (int x = bx; x < bx + 8; ++x) {
                    Set(page, x, y, value);
                    pixSetPixel(pix, x, y, static_cast<l_uint32>(value));
                }
        }
    const double degrees = -4.5;
    ASSERT_EQ(ImageWrapper::rotate_bitmap(page, degrees), 0);
    PIX* rotated = pixRotate(pix, static_cast<l_float32>(degrees * std::numbers::pi / 180.0), L_ROTATE_AREA_MAP,
                             L_BRING_IN_WHITE, w, h);
    BITMAPINFOHEADER info{};
    ImageWrapper::bitmap_info(page, &info);
    // Compare the middle of both results (the canvases may differ by a pixel).
    const int ox = (pixGetWidth(rotated) - info.biWidth) / 2, oy = (pixGetHeight(rotated) - info.biHeight) / 2;
    double squared = 0;
    int count = 0;
    for (int y = 40; y < info.biHeight - 40; ++y)
        for (int x = 40; x < info.biWidth - 40; ++x) {
            l_uint32 theirs = 0;
            pixGetPixel(rotated, x + ox, y + oy, &theirs);
            const double d = At(page, x, y) - static_cast<double>(theirs);
            squared += d * d;
            ++count;
        }
    // Bilinear and area mapping differ only at the sharp block edges; a wrong
    // direction or a shift of a pixel drops this well below 20 dB.
    const double psnr = 10 * std::log10(255.0 * 255.0 / (squared / count));
    EXPECT_GT(psnr, 22.0) << psnr;
    pixDestroy(&rotated);
    pixDestroy(&pix);
    ImageWrapper::delete_bitmap(page);
}

INSTANTIATE_TEST_SUITE_P(Depths, FineRotationTest, ::testing::Values(8, 24));

}  // namespace
