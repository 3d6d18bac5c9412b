// Test pages for the line-based processes, built in code with known ground
// truth: blank bitmaps with rules drawn at a known row, thickness and slope,
// and synthetic text pages (with or without rules) skewed by a known angle.
#pragma once

#include "platform/imagelib/ImageWrapper.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace lines_test {

// Row y (0 = top of the page) of a bottom-up DIB.
inline std::uint8_t* Row(BITMAPINFOHEADER* dib, int y) {
    return dib::Bits(dib) +
           dib::Stride(dib->biWidth, dib->biBitCount) * static_cast<std::size_t>(dib->biHeight - 1 - y);
}

// Paints pixel (x, y) black on a 1-, 8- or 24-bit DIB; outside is ignored.
inline void SetBlack(BITMAPINFOHEADER* dib, int x, int y) {
    if (x < 0 || y < 0 || x >= dib->biWidth || y >= dib->biHeight) return;
    std::uint8_t* row = Row(dib, y);
    switch (dib->biBitCount) {
        case 1:
            row[x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
            break;
        case 8:
            row[x] = 0;
            break;
        default:
            std::memset(row + 3 * x, 0, 3);
            break;
    }
}

inline bool IsBlack(BITMAPINFOHEADER* dib, int x, int y) {
    const std::uint8_t* row = Row(dib, y);
    switch (dib->biBitCount) {
        case 1:
            return (row[x / 8] & (0x80u >> (x % 8))) == 0;
        case 8:
            return row[x] < 128;
        default:
            return row[3 * x] + row[3 * x + 1] + row[3 * x + 2] < 384;
    }
}

// A rule from column x0 to x1 (exclusive) whose top edge starts at row y and
// drops by `slope` rows per column (negative slope: rises to the right).
inline void DrawRule(BITMAPINFOHEADER* dib, int x0, int x1, int y, int thickness, double slope = 0.0) {
    for (int x = x0; x < x1; ++x) {
        const int top = y + static_cast<int>(std::floor((x - x0) * slope + 0.5));
        for (int t = 0; t < thickness; ++t) SetBlack(dib, x, top + t);
    }
}

// A vertical rule from row y0 to y1 (exclusive) at column x, leaning `slope`
// columns per row.
inline void DrawVerticalRule(BITMAPINFOHEADER* dib, int y0, int y1, int x, int thickness, double slope = 0.0) {
    for (int y = y0; y < y1; ++y) {
        const int left = x + static_cast<int>(std::floor((y - y0) * slope + 0.5));
        for (int t = 0; t < thickness; ++t) SetBlack(dib, left + t, y);
    }
}

inline void FillBlack(BITMAPINFOHEADER* dib) {
    std::memset(dib::Bits(dib), 0,
                dib::Stride(dib->biWidth, dib->biBitCount) * static_cast<std::size_t>(dib->biHeight));
}

// A new white bitmap; the caller owns the handle.
inline int BlankHandle(int width, int height, int bits) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bits);
    if (handle < 0) throw std::runtime_error("cannot create bitmap");
    return handle;
}

// A blank page owned by the test, deleted with it.
class Page {
public:
    Page(int width, int height, int bits = 1) : handle_(BlankHandle(width, height, bits)) {}
    ~Page() { ImageWrapper::delete_bitmap(handle_); }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;
    BITMAPINFOHEADER* dib() const { return ImageWrapper::get_raw_dib(handle_); }
    int handle() const { return handle_; }

private:
    int handle_;
};

// A library bitmap holding a Leptonica page (1-bit or 32-bit colour, which
// becomes 24-bit); the caller owns the handle.
inline int HandleFromPix(Pix* pix) {
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    const int depth = pixGetDepth(pix);
    const int handle = BlankHandle(w, h, depth == 1 ? 1 : 24);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const int wpl = pixGetWpl(pix);
    l_uint32* data = pixGetData(pix);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
        std::uint8_t* row = Row(dib, y);
        if (depth == 1) {
            // Leptonica: 1 = black; the DIB: set = white. Both MSB first.
            for (int n = 0; n < (w + 7) / 8; ++n) row[n] = static_cast<std::uint8_t>(~GET_DATA_BYTE(line, n));
        } else {
            for (int x = 0; x < w; ++x) {
                l_int32 r = 0, g = 0, b = 0;
                extractRGBValues(line[x], &r, &g, &b);
                row[3 * x] = static_cast<std::uint8_t>(b);
                row[3 * x + 1] = static_cast<std::uint8_t>(g);
                row[3 * x + 2] = static_cast<std::uint8_t>(r);
            }
        }
    }
    return handle;
}

// A text page at `dpi` (A4), skewed clockwise by `skew` degrees, with
// optional ruled lines (a table-like set of horizontal and vertical rules).
inline int TextPage(int dpi, double skew, int bits = 1, bool rules = false) {
    using namespace leafmend::synthpage;
    PageOptions options = PageOptions::A4(dpi);
    options.depth = bits == 24 ? 32 : bits;
    options.skewDegrees = skew;
    if (rules) {
        const int w = options.width;
        const int h = options.height;
        const int t = std::max(2, dpi / 100);
        for (int i = 0; i < 4; ++i)
            options.rules.push_back(RuleLine::Horizontal(h / 8 + i * h / 4, w / 8, w - w / 8, t));
        options.rules.push_back(RuleLine::Vertical(w / 10, h / 8, h - h / 8, t));
        options.rules.push_back(RuleLine::Vertical(w - w / 10, h / 8, h - h / 8, t));
    }
    PixPtr pix(RenderPage(options));
    return HandleFromPix(pix.get());
}

// A copy of the bitmap's packed DIB, to compare pixels afterwards.
inline std::vector<std::uint8_t> Snapshot(int handle) {
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib);
    return {bytes, bytes + dib::PackedSize(*dib)};
}

}  // namespace lines_test
