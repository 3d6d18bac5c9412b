// Black-and-white decisions for grey and colour pages, rectangle by
// rectangle: a two-peak threshold from a 12-pixel sampled histogram (about
// pixels / 144 reads), the global threshold itself (one read and one write per
// pixel), a local threshold decided box by box from the contrast of the box's
// surroundings (about (2B + 1)^2 reads per B^2 pixels) and a diagonal-minus-
// direct edge filter (nine reads per pixel). Sources are 8- or 24-bit;
// destinations 1, 8 or 24 bits. Rectangles that do not fit the source raise
// 2163, rectangles of 60 pixels or less 2164.
#pragma once

#include "image/PixelImage.h"

// Left, right, top, bottom; right and bottom one past the last column and row.
struct ToneRect {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// How pixels are reached: straight through the row table for the depths a
// page has (8 or 24 bits in, 1, 8 or 24 out, plain view), else through the
// accessor table; Accessors forces the second road.
enum class PixelRoad { Direct, Accessors };

class ThresholdEngine {
public:
    // The zone's grey-level histogram on a 12-pixel grid with a diagonal
    // jitter of 0..12 (24-bit pixels count at (red + green + blue) / 3).
    static void sampleZoneHistogram(const PixelImage& source, const ToneRect& rect, PixelImage::Histogram& counts);
    // Midway between the histogram's main peak and its strongest peak at
    // least 10 levels away, plus shift, within 1..254 (grey levels).
    static int zoneThresholdFromHistogram(const PixelImage::Histogram& counts, int shift);
    // Sets source's whiteThreshold from the rectangle (3x for 24 bits).
    // 2163 for an empty or inverted rectangle, 2164 for 60 pixels or less.
    static void computeZoneThreshold(PixelImage& source, const ToneRect& rect, int shift);
    // Destination pixel = white when the source pixel is white under the
    // zone's threshold; the rectangle's last row and column are not written.
    static void applyGlobalThreshold(PixelImage& source, PixelImage& destination, const ToneRect& rect, int shift,
                                     PixelRoad road = PixelRoad::Direct);
    // B x B boxes (B even, 16 when box <= 0) get their own threshold when the
    // window around them has a contrast above `contrast` percent; otherwise,
    // and on boxes near the page edge, the global threshold decides.
    static void applyLocalThreshold(PixelImage& source, PixelImage& destination, const ToneRect& rect, int contrast,
                                    int box, int shift, PixelRoad road = PixelRoad::Direct);
    // Grey = 255 + (diagonal neighbours - direct neighbours) / 2 (/ 6 for the
    // three-channel sum of 24-bit pages), clamped to 0..255; the image's outer
    // two-pixel frame is not written.
    static void applyEdgeFilter(const PixelImage& source, PixelImage& destination, const ToneRect& rect,
                                PixelRoad road = PixelRoad::Direct);

    // The local threshold's box edge for a "LOCALTHRESHBOXSIZE" value.
    static int boxSizeFor(int box);
    // 2163 unless the rectangle lies inside the source's view and is not
    // empty; 2164 when it is 60 pixels wide or high or less.
    static void checkRect(const PixelImage& source, const ToneRect& rect);
};
