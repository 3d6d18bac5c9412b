// Takes a caller's packed DIB into the house layout: checks the header, then
// copies the rows (O(pixels)). 1, 8 and 24-bit pages keep their depth; 4-bit
// and palettised 8-bit pages are looked up in their colour table (grey tables
// give 8-bit grey, coloured ones 24-bit); 32-bit pages drop the fourth byte.
#pragma once

#include "platform/imagelib/Dib.h"

namespace imagelib {

class DibImporter {
public:
    // IMG_OK and the copy in *out, or IMG_BAD_ARGUMENT for a malformed or
    // oversized header, IMG_UNSUPPORTED_COLOR for compressed or 16-bit pages.
    // Throws std::bad_alloc when memory runs out.
    static int Import(const BITMAPINFOHEADER* source, Dib* out);
};

}  // namespace imagelib
