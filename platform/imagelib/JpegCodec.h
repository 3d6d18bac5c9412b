// JPEG pages through libjpeg, with its errors and warnings caught in a
// DecodeLog (a warning such as "Premature end of JPEG file" fails the page:
// the decoder would have filled the rest with grey). Reading checks the
// declared size before decoding and decodes scanlines straight into the DIB
// (8-bit grey or 24-bit colour; CMYK is converted); writing uses quality 90,
// 1-bit pages are written as grey. Both are O(pixels).
#pragma once

#include "platform/imagelib/DecodeLog.h"
#include "platform/imagelib/Dib.h"

#include <cstdio>
#include <string>

namespace imagelib {

class JpegCodec {
public:
    // Reads the header only and checks the size; IMG_OK or a status and why.
    static int Check(FILE* file, std::string* error);
    static int Read(FILE* file, Dib* out, std::string* error);
    static int Write(FILE* file, const Dib& dib, std::string* error);
};

}  // namespace imagelib
