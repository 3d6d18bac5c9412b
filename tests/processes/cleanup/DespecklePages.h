// Test pages for the despeckle engines: owned library bitmaps drawn in code,
// copied from and to Leptonica images, and compared pixel by pixel.
#pragma once

#include "image/PixelImage.h"

#include <leptonica/allheaders.h>

#include <cstdint>
#include <random>
#include <vector>

namespace despeckle_test {

// A white page of its own (1, 8 or 24 bits).
class TestPage {
public:
    TestPage(int width, int height, int bits = 1) : image_(width, height, bits, true) {}

    PixelImage& image() { return image_; }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    int bits() const { return image_.bitCount(); }

    void black(int x, int y) { image_.setPixel(x, y, 0); }
    void blackRect(int x, int y, int w, int h) {
        for (int r = y; r < y + h; ++r)
            for (int c = x; c < x + w; ++c) black(c, r);
    }
    void fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) image_.setPixel(x, y, red, green, blue);
    }
    bool isBlack(int x, int y) const { return !image_.isWhite(x, y); }
    std::uint32_t colour(int x, int y) const {
        std::uint8_t r = 0, g = 0, b = 0;
        image_.getPixel(x, y, r, g, b);
        return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | b;
    }
    int countBlack() const {
        int count = 0;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) count += isBlack(x, y) ? 1 : 0;
        return count;
    }
    // Every pixel's colour, row after row.
    std::vector<std::uint32_t> pixels() const {
        std::vector<std::uint32_t> all;
        all.reserve(static_cast<std::size_t>(width()) * static_cast<std::size_t>(height()));
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) all.push_back(colour(x, y));
        return all;
    }
    // Black with the given probability, reproducibly.
    void scatter(double density, unsigned seed) {
        std::mt19937 random(seed);
        std::bernoulli_distribution ink(density);
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (ink(random)) black(x, y);
    }
    void copyFrom(const TestPage& other) {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) {
                std::uint8_t r = 0, g = 0, b = 0;
                other.image_.getPixel(x, y, r, g, b);
                image_.setPixel(x, y, r, g, b);
            }
    }

private:
    PixelImage image_;
};

// A 1-bit Leptonica image (1 = black) drawn onto a 1-bit page of the same size.
inline void CopyPixToPage(Pix* pix, PixelImage& page) {
    const l_int32 wpl = pixGetWpl(pix);
    const l_uint32* data = pixGetData(pix);
    for (int y = 0; y < page.height(); ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < page.width(); ++x) page.setPixel(x, y, GET_DATA_BIT(line, x) ? 0 : 1);
    }
}

// A 1-bit page as a Leptonica image (1 = black); the caller destroys it.
inline Pix* PageToPix(const PixelImage& page) {
    Pix* pix = pixCreate(page.width(), page.height(), 1);
    const l_int32 wpl = pixGetWpl(pix);
    l_uint32* data = pixGetData(pix);
    for (int y = 0; y < page.height(); ++y) {
        l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < page.width(); ++x)
            if (!page.isWhite(x, y)) SET_DATA_BIT(line, x);
    }
    return pix;
}

// What a despeckle without character preservation must leave, computed by
// Leptonica: the 4-connected groups with a side longer than the limit.
inline Pix* KeepLargeGroups(Pix* pix, int sizeLimit) {
    return pixSelectBySize(pix, sizeLimit + 1, sizeLimit + 1, 4, L_SELECT_IF_EITHER, L_SELECT_IF_GTE, nullptr);
}

inline bool SamePixels(Pix* a, Pix* b) {
    l_int32 same = 0;
    pixEqual(a, b, &same);
    return same != 0;
}

}  // namespace despeckle_test
