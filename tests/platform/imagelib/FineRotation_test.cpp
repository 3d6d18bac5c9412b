// Small-angle rotation of grey and colour pages: direction and position of
// known marks, white uncovered corners, kept depth and resolution, agreement
// with Leptonica's area-mapped rotation of the same pixels, and every pixel
// against the blend computed with all its samples checked.
#include "platform/imagelib/ImageWrapper.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

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

// Every target pixel turned back and blended with each of its four samples
// checked (outside the source: white), in the same 16.16 fixed point.
std::vector<int> TurnedPixelByPixel(const std::vector<int>& source, int w, int h, int channels, double degrees, int tw,
                                    int th) {
    // The angle left after whole quarter turns, as the library takes it.
    const double turn = degrees < 0 ? std::fmod(degrees, 360.0) + 360.0 : std::fmod(degrees, 360.0);
    const double r = (turn - 90.0 * static_cast<double>(std::lround(turn / 90.0))) * std::numbers::pi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    const double scx = (w - 1) / 2.0, scy = (h - 1) / 2.0, tcx = (tw - 1) / 2.0, tcy = (th - 1) / 2.0;
    const auto stepX = static_cast<std::int64_t>(std::llround(c * 65536.0));
    const auto stepY = static_cast<std::int64_t>(std::llround(-s * 65536.0));
    const auto sample = [&](std::int64_t x, std::int64_t y, int k) {
        if (x < 0 || y < 0 || x >= w || y >= h) return 255;
        return source[static_cast<std::size_t>((y * w + x) * channels + k)];
    };
    std::vector<int> out;
    for (int ty = 0; ty < th; ++ty) {
        auto sx = static_cast<std::int64_t>(std::llround((c * (0 - tcx) + s * (ty - tcy) + scx) * 65536.0));
        auto sy = static_cast<std::int64_t>(std::llround((-s * (0 - tcx) + c * (ty - tcy) + scy) * 65536.0));
        for (int tx = 0; tx < tw; ++tx, sx += stepX, sy += stepY) {
            const std::int64_t ix = sx >> 16, iy = sy >> 16;
            const auto fx = static_cast<int>((sx >> 8) & 0xFF), fy = static_cast<int>((sy >> 8) & 0xFF);
            for (int k = 0; k < channels; ++k) {
                const int top = sample(ix, iy, k) * (256 - fx) + sample(ix + 1, iy, k) * fx;
                const int bottom = sample(ix, iy + 1, k) * (256 - fx) + sample(ix + 1, iy + 1, k) * fx;
                out.push_back((top * (256 - fy) + bottom * fy + (1 << 15)) >> 16);
            }
        }
    }
    return out;
}

// The rim of the source, where samples fall outside, and the inside, blended
// without checks, meet where they should at every angle and on narrow pages.
TEST_P(FineRotationTest, EveryPixelEqualsTheBlendWithEverySampleChecked) {
    const int channels = GetParam() / 8;
    std::mt19937 random(11);
    for (const auto& [w, h] : {std::pair{61, 37}, std::pair{8, 90}, std::pair{120, 2}, std::pair{9, 9}}) {
        for (double degrees : {0.3, -0.3, 1.2, -2.5, 7.0, -13.0, 29.0, -44.0, 44.9}) {
            const int page = ImageWrapper::create_handle_from_scratch(w, h, GetParam());
            BITMAPINFOHEADER* header = ImageWrapper::get_raw_dib(page);
            std::vector<int> source;
            for (int y = 0; y < h; ++y) {
                BYTE* row = dib::Bits(header) + dib::Stride(w, header->biBitCount) * (h - 1 - y);
                for (int i = 0; i < w * channels; ++i) {
                    row[i] = static_cast<BYTE>(random() % 256);
                    source.push_back(row[i]);
                }
            }
            ASSERT_EQ(ImageWrapper::rotate_bitmap(page, degrees), 0);
            BITMAPINFOHEADER info{};
            ImageWrapper::bitmap_info(page, &info);
            const std::vector<int> expected =
                TurnedPixelByPixel(source, w, h, channels, degrees, info.biWidth, info.biHeight);
            const BITMAPINFOHEADER* turned = ImageWrapper::get_raw_dib(page);
            std::vector<int> seen;
            for (int y = 0; y < info.biHeight; ++y) {
                const BYTE* row =
                    dib::Bits(turned) + dib::Stride(info.biWidth, info.biBitCount) * (info.biHeight - 1 - y);
                for (int i = 0; i < info.biWidth * channels; ++i) seen.push_back(row[i]);
            }
            EXPECT_EQ(seen, expected) << w << " x " << h << " at " << degrees;
            ImageWrapper::delete_bitmap(page);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, FineRotationTest, ::testing::Values(8, 24));

}  // namespace
