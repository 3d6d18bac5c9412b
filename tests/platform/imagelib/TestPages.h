// Helpers for the image library tests: handles that delete themselves, pixel
// access by page coordinates (top row = 0) and deterministic test patterns.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace imagelib_test {

class Page {
public:
    explicit Page(int handle) : handle_(handle) {}
    Page(int width, int height, int bits) : handle_(ImageWrapper::create_handle_from_scratch(width, height, bits)) {}
    ~Page() { ImageWrapper::delete_bitmap(handle_); }
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;
    int handle() const { return handle_; }
    BITMAPINFOHEADER* dib() const { return ImageWrapper::get_raw_dib(handle_); }
    int width() const { return dib()->biWidth; }
    int height() const { return dib()->biHeight; }
    int bits() const { return dib()->biBitCount; }
    // Pixel rows only, padding included.
    std::vector<BYTE> rows() const {
        const BYTE* p = dib::Bits(dib());
        return {p, p + dib::Stride(width(), static_cast<WORD>(bits())) * static_cast<std::size_t>(height())};
    }

private:
    int handle_;
};

inline BYTE* RowOf(BITMAPINFOHEADER* h, int y) {
    return dib::Bits(h) + dib::Stride(h->biWidth, h->biBitCount) * static_cast<std::size_t>(h->biHeight - 1 - y);
}

// 1-bit: 0 black / 1 white; 8-bit: grey level; 24-bit: 0xRRGGBB.
inline std::uint32_t Get(BITMAPINFOHEADER* h, int x, int y) {
    const BYTE* row = RowOf(h, y);
    switch (h->biBitCount) {
        case 1:
            return (row[x / 8] >> (7 - x % 8)) & 1u;
        case 8:
            return row[x];
        default:
            return (std::uint32_t{row[3 * x + 2]} << 16) | (std::uint32_t{row[3 * x + 1]} << 8) | row[3 * x];
    }
}

inline void Set(BITMAPINFOHEADER* h, int x, int y, std::uint32_t v) {
    BYTE* row = RowOf(h, y);
    switch (h->biBitCount) {
        case 1:
            row[x / 8] = static_cast<BYTE>(v ? row[x / 8] | (0x80 >> (x % 8)) : row[x / 8] & ~(0x80 >> (x % 8)));
            break;
        case 8:
            row[x] = static_cast<BYTE>(v);
            break;
        default:
            row[3 * x] = static_cast<BYTE>(v);
            row[3 * x + 1] = static_cast<BYTE>(v >> 8);
            row[3 * x + 2] = static_cast<BYTE>(v >> 16);
    }
}

inline std::uint32_t White(int bits) { return bits == 1 ? 1u : bits == 8 ? 255u : 0xFFFFFFu; }

// A pattern with no symmetry, so any wrong mapping of pixels shows.
inline std::uint32_t PatternValue(int bits, int x, int y) {
    const std::uint32_t v = static_cast<std::uint32_t>(x * 37 + y * 101 + x * y * 7);
    if (bits == 1) return (v % 3 != 0) ? 1u : 0u;
    if (bits == 8) return v & 0xFF;
    return ((v * 2654435761u) >> 8) & 0xFFFFFF;
}

inline int MakePattern(int width, int height, int bits) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bits);
    BITMAPINFOHEADER* h = ImageWrapper::get_raw_dib(handle);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Set(h, x, y, PatternValue(bits, x, y));
    return handle;
}

}  // namespace imagelib_test
