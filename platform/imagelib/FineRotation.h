// Rotation of grey and colour pages by small angles (within +-45 degrees),
// straight from DIB to DIB: the canvas grows to hold the whole turned page,
// uncovered corners are white (or a given tone), and every target pixel is a bilinear blend of
// the four source pixels around its preimage (fixed point, 8-bit weights;
// samples outside the page count as white). One pass over the target,
// O(target pixels), no allocation per pixel.
#pragma once

#include "platform/imagelib/Dib.h"

#include <cstdint>

namespace imagelib {

class FineRotation {
public:
    // The 8- or 24-bit page turned clockwise by `degrees` (|degrees| <= 45),
    // same depth and resolution. Throws std::bad_alloc.
    static Dib Apply(const Dib& source, double degrees);
    // The same with the uncovered corners (and samples outside the page) set to
    // `fill`: 0xRRGGBB on colour pages, the grey level in the low byte on grey.
    static Dib Apply(const Dib& source, double degrees, std::uint32_t fill);
    // Size of the grown canvas for a page of width x height turned by `degrees`.
    static void GrownSize(LONG width, LONG height, double degrees, LONG* grownWidth, LONG* grownHeight);
};

}  // namespace imagelib
