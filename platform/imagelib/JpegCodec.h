// JPEG pages through libjpeg, with its errors and warnings caught in a
// DecodeLog (a warning such as "Premature end of JPEG file" fails the page:
// the decoder would have filled the rest with grey). Reading checks the
// declared size before decoding and decodes scanlines straight into the DIB
// (8-bit grey or 24-bit colour; CMYK is converted). The header gives an
// estimate of the quality the file was written at: the standard luminance
// table scaled for each quality 1-100 is compared with the file's, O(100 x 64).
// Writing uses the chosen quality (the input's, else 90); 1-bit pages are
// written as grey. Both are O(pixels).
#pragma once

#include "platform/imagelib/DecodeLog.h"
#include "platform/imagelib/Dib.h"

#include <cstdio>
#include <string>

namespace imagelib {

class JpegCodec {
public:
    // Quality used when neither the user nor the input gives one.
    static constexpr int kDefaultQuality = 90;

    // Reads the header only and checks the size; IMG_OK or a status and why.
    // *quality (when given) gets the estimated quality, 0 when the luminance
    // table is not a scaled standard one within a small error.
    static int Check(FILE* file, std::string* error, int* quality = nullptr);
    static int Read(FILE* file, Dib* out, std::string* error);
    static int Write(FILE* file, const Dib& dib, const imagefile::Compression& compression, std::string* error);
    // The quality whose scaled standard luminance table is nearest to
    // `table` (64 steps in natural order), or 0 when even that one is far off.
    static int EstimateQuality(const unsigned short* table);
};

}  // namespace imagelib
