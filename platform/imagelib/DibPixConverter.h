// Moves pages between the library's DIBs and Leptonica images. One pass over
// the rows, no per-pixel allocation: 1-bit and 8-bit rows move a 32-bit word at
// a time (with inversion for 1-bit, whose Leptonica polarity is 1 = black);
// 24-bit pixels are repacked into 32-bit RGB words. Resolution travels along.
#pragma once

#include "platform/imagelib/Dib.h"
#include "platform/imagelib/PixPtr.h"

namespace imagelib {

class DibPixConverter {
public:
    // A Leptonica image of a 1-, 8- or 24-bit house DIB (1, 8 or 32 bpp);
    // null when memory runs out. The colour table is not consulted.
    static PixPtr ToPix(const Dib& dib);
    // Brings any Leptonica image to 1 bpp, 8 bpp grey or 32 bpp RGB without
    // colour map or alpha: colour-mapped 1 bpp keeps its visual polarity,
    // grey maps and 2/4/16 bpp become 8 bpp, colour maps become RGB, alpha is
    // blended onto white. Null when Leptonica fails.
    static PixPtr Normalise(PIX* pix);
    // The house DIB of a normalised 1, 8 or 32 bpp image. Throws std::bad_alloc.
    static Dib ToDib(PIX* pix);
};

}  // namespace imagelib
