// Test helpers for 1-bit pages: a library bitmap owned for the test's length,
// a top-down grid of its pixels (1 = white), and grids built from text or at
// random, so engines can be compared with pixel-by-pixel references.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace cleanup_test {

struct Grid {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // top-down, 1 = white

    Grid() = default;
    Grid(int w, int h, std::uint8_t fill = 1) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const Grid&) const = default;
    long long blackCount() const {
        long long count = 0;
        for (std::uint8_t p : pixels) count += p == 0;
        return count;
    }
    void fillRect(int x0, int y0, int w, int h, std::uint8_t value) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) at(x, y) = value;
    }
};

// Random pixels, black with probability `black`, in blobs of random squares
// when `blobs` is set (closer to strokes than salt and pepper).
inline Grid RandomGrid(int w, int h, double black, unsigned seed, bool blobs = false) {
    Grid grid(w, h);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (!blobs) {
        for (auto& p : grid.pixels) p = unit(random) < black ? 0 : 1;
        return grid;
    }
    const long long squares = static_cast<long long>(black * w * h / 9.0);
    for (long long i = 0; i < squares; ++i) {
        const int side = 1 + static_cast<int>(unit(random) * 5);
        const int x = static_cast<int>(unit(random) * w), y = static_cast<int>(unit(random) * h);
        for (int yy = y; yy < std::min(h, y + side); ++yy)
            for (int xx = x; xx < std::min(w, x + side); ++xx) grid.at(xx, yy) = 0;
    }
    return grid;
}

// A library bitmap of 1, 8 or 24 bits, deleted with the object.
class LibraryPage {
public:
    LibraryPage(int width, int height, int bits = 1)
        : handle_(ImageWrapper::create_handle_from_scratch(width, height, bits)) {}
    explicit LibraryPage(const Grid& grid) : LibraryPage(grid.width, grid.height, 1) { write(grid); }
    ~LibraryPage() {
        if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
    }
    LibraryPage(const LibraryPage&) = delete;
    LibraryPage& operator=(const LibraryPage&) = delete;

    int handle() const { return handle_; }
    BITMAPINFOHEADER* dib() const { return ImageWrapper::get_raw_dib(handle_); }
    int width() const { return dib()->biWidth; }
    int height() const { return dib()->biHeight; }
    // Gives the bitmap away (to a host image object).
    int release() {
        const int h = handle_;
        handle_ = -1;
        return h;
    }

    Grid read() const { return Read(dib()); }
    void write(const Grid& grid) const { Write(dib(), grid); }

    static Grid Read(BITMAPINFOHEADER* dib) {
        Grid grid(dib->biWidth, dib->biHeight);
        for (int y = 0; y < grid.height; ++y) {
            const std::uint8_t* row = Row(dib, y);
            for (int x = 0; x < grid.width; ++x) grid.at(x, y) = (row[x / 8] >> (7 - x % 8)) & 1;
        }
        return grid;
    }
    static void Write(BITMAPINFOHEADER* dib, const Grid& grid) {
        for (int y = 0; y < grid.height; ++y) {
            std::uint8_t* row = Row(dib, y);
            for (int x = 0; x < grid.width; ++x) {
                const auto mask = static_cast<std::uint8_t>(0x80 >> (x % 8));
                row[x / 8] = static_cast<std::uint8_t>(grid.at(x, y) ? (row[x / 8] | mask) : (row[x / 8] & ~mask));
            }
        }
    }
    static std::uint8_t* Row(BITMAPINFOHEADER* dib, int y) {
        return dib::Bits(dib) +
               dib::Stride(dib->biWidth, dib->biBitCount) * static_cast<std::size_t>(dib->biHeight - 1 - y);
    }

private:
    int handle_;
};

}  // namespace cleanup_test
