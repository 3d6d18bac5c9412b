// Colour smoothing of a page in place: the average colour of a sample
// rectangle (every fourth pixel of every fourth row on 24-bit pages, every
// pixel on 8-bit palette pages) and the replacement, over the whole page, of
// every colour within a per-channel tolerance of it by the average itself.
// 24-bit pages: one read per pixel and a write where it matches; 8-bit pages:
// at most 256 colour table entries, no pixel.
#pragma once

#include "image/PixelImage.h"

#include <cstdint>

class CZRProgressTracker;

// Blue, green, red and a spare byte, as in a colour table entry.
struct AverageColor {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t spare = 0;
};

class ColorSmoother {
public:
    // `progress` may be null.
    explicit ColorSmoother(CZRProgressTracker* progress) : progress_(progress) {}

    // The channel tolerance for a "TOLERANCE" percentage: integer part of
    // percent x 2.55 (100 gives 254).
    static long long toleranceFor(long percent);
    // Average over columns x0..x1 and rows y0..y1, both ends included. 2163
    // when a corner lies outside the page or the rectangle is inverted, 2178
    // when an 8-bit pixel names a colour table entry the page does not have,
    // E_FAIL (as a _com_error) when nothing was sampled (depths other than 8
    // and 24).
    AverageColor averageZoneColor(const PixelImage& image, long long x0, long long y0, long long x1, long long y1);
    // Every colour within `tolerance` of `average` in each channel becomes the
    // average: colour table entries of 8-bit pages, pixels otherwise.
    void replaceNearColor(PixelImage& image, AverageColor average, long long tolerance);
    // Plain 24-bit pages are compared straight on their rows; this forces
    // the accessor table instead (same result, for tests).
    void setAccessorsOnly(bool accessorsOnly) { accessorsOnly_ = accessorsOnly; }

private:
    void report(int percent);
    CZRProgressTracker* progress_;
    bool accessorsOnly_ = false;
};
