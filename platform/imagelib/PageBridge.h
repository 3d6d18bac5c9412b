// Two doors for module code that measures pages with Leptonica and turns them
// onto a background of its own choosing: a Leptonica copy of a page, and a
// rotation whose grown canvas is filled with a given tone instead of white.
// Both O(pixels) and thread-safe like the rest of the library.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <cstdint>

struct Pix;

namespace imagelib {

// A Leptonica copy of the page: 1 bpp (1 = black), 8 bpp grey or 32 bpp RGB,
// resolution kept. Null for a bad handle or when memory runs out; the caller
// destroys it with pixDestroy.
ZR_IMAGEWRAPPER_API Pix* CopyPageToPix(int handle);

// Turns the page clockwise by `degrees` (|degrees| <= 45) about its centre on a
// canvas grown to hold the whole page, like rotate_bitmap, but fills the
// uncovered corners with `fill`: 0xRRGGBB on colour pages, the grey level
// (low byte) on grey pages, and on 1-bit pages 0 for black and any other value
// for white. Grey and colour pages are interpolated (bilinear); 1-bit pages
// stay 1-bit and sharp (moved by shears; beyond 20 degrees by sampling).
// Statuses as rotate_bitmap; IMG_BAD_ARGUMENT beyond 45 degrees.
ZR_IMAGEWRAPPER_API int RotatePageFilled(int handle, double degrees, std::uint32_t fill);

}  // namespace imagelib
