// Helpers for the image tests: packed DIBs built by hand in buffers of exactly
// their size (so a stray read or write past them shows under the address
// sanitizer), reference pixel access written from the DIB layout rules alone,
// deterministic patterns and exception checks.
#pragma once

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "platform/imagelib/ImageWrapper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace image_test {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline std::size_t RefStride(int width, int bits) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
}

// A bottom-up packed DIB: header, colour table of `entries` (2 or 256 by
// default for 1 and 8 bits), rows. Pixels start black (0); row padding holds
// a sentinel byte so writes into it show.
class DibBuffer {
public:
    static constexpr std::uint8_t kPad = 0xA5;

    DibBuffer(int width, int height, int bits, std::uint32_t clrUsed = 0) {
        const std::size_t entries = clrUsed ? clrUsed : (bits <= 8 ? std::size_t{1} << bits : 0);
        offset_ = sizeof(BITMAPINFOHEADER) + 4 * entries;
        stride_ = RefStride(width, bits);
        const std::size_t size = offset_ + stride_ * static_cast<std::size_t>(height);
        words_.assign((size + 3) / 4, 0);
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bits);
        h.biXPelsPerMeter = 11811;
        h.biYPelsPerMeter = 5905;
        h.biClrUsed = clrUsed;
        std::memcpy(words_.data(), &h, sizeof h);
        // Colour table deliberately odd: pixel code must never consult it.
        std::memset(bytes() + sizeof h, 0x3C, 4 * entries);
        const std::size_t used = (static_cast<std::size_t>(width) * bits + 7) / 8;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = pageRow(y);
            std::memset(row + used, kPad, stride_ - used);
        }
    }

    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(words_.data()); }
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(words_.data()); }
    std::vector<std::uint8_t> snapshot() const {
        const auto* p = reinterpret_cast<const std::uint8_t*>(words_.data());
        return {p, p + words_.size() * 4};
    }
    int width() { return header()->biWidth; }
    int height() { return header()->biHeight; }
    int bits() { return header()->biBitCount; }
    // Page row y counted from the top: memory row height - 1 - y.
    std::uint8_t* pageRow(int y) {
        return bytes() + offset_ + stride_ * static_cast<std::size_t>(header()->biHeight - 1 - y);
    }

    Rgb get(int x, int y) {
        const std::uint8_t* row = pageRow(y);
        switch (bits()) {
            case 1: {
                const std::uint8_t v = ((row[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0;
                return {v, v, v};
            }
            case 8:
                return {row[x], row[x], row[x]};
            default:
                return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        }
    }
    void set(int x, int y, Rgb c) {
        std::uint8_t* row = pageRow(y);
        switch (bits()) {
            case 1:
                if (c.red) {
                    row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
                } else {
                    row[x / 8] = static_cast<std::uint8_t>(row[x / 8] & ~(0x80 >> (x % 8)));
                }
                break;
            case 8:
                row[x] = c.red;
                break;
            default:
                row[3 * x] = c.blue;
                row[3 * x + 1] = c.green;
                row[3 * x + 2] = c.red;
        }
    }
    void fill(Rgb c) {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) set(x, y, c);
    }

private:
    std::vector<std::uint32_t> words_;
    std::size_t offset_ = 0;
    std::size_t stride_ = 0;
};

// A pattern without symmetry, so any wrong mapping of coordinates shows. For
// 1 bit only red matters (255 white, 0 black); for 8 bits all three are equal.
inline Rgb Pattern(int bits, int x, int y) {
    const auto v = static_cast<std::uint32_t>(x * 37 + y * 101 + x * y * 7 + 5);
    if (bits == 1) {
        const std::uint8_t w = (v % 3 != 0) ? 255 : 0;
        return {w, w, w};
    }
    if (bits == 8) {
        const auto g = static_cast<std::uint8_t>(v);
        return {g, g, g};
    }
    const std::uint32_t h = v * 2654435761u;
    return {static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h >> 16), static_cast<std::uint8_t>(h >> 24)};
}

inline void FillPattern(DibBuffer& dib) {
    for (int y = 0; y < dib.height(); ++y)
        for (int x = 0; x < dib.width(); ++x) dib.set(x, y, Pattern(dib.bits(), x, y));
}

// A library bitmap that deletes itself.
class LibraryPage {
public:
    LibraryPage(int width, int height, int bits)
        : handle_(ImageWrapper::create_handle_from_scratch(width, height, bits)) {}
    ~LibraryPage() {
        if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
    }
    LibraryPage(const LibraryPage&) = delete;
    LibraryPage& operator=(const LibraryPage&) = delete;
    int handle() const { return handle_; }
    BITMAPINFOHEADER* dib() const { return ImageWrapper::get_raw_dib(handle_); }

private:
    int handle_;
};

inline bool Alive(int handle) { return ImageWrapper::get_raw_dib(handle) != nullptr; }

template <class F>
void ExpectQnc(F&& f, const std::string& text, int id) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected \"" << text << "\"";
    } catch (const QNCException& e) {
        EXPECT_EQ(std::string(e.what()), text);
        EXPECT_EQ(e.MessageId(), id);
    }
}

template <class F>
void ExpectCzr(F&& f, unsigned messageId) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected message " << messageId;
    } catch (const CZRException& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Error()), 0x80040000u | messageId);
    }
}

}  // namespace image_test
