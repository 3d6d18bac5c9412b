// Hands a Leptonica page (1, 8 or 32 bpp) to the image library as a new
// bitmap handle, and reads a handle's page back: the packed DIB is written
// here (bottom-up rows, 1-bit set = white, 24-bit blue-green-red). O(pixels).
// Header only, for tests and benchmarks that link the image library.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <leptonica/allheaders.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace leafmend::skewset {

// The new handle (the caller deletes it), or a negative status.
inline int PixToHandle(Pix* pix) {
    const int w = pixGetWidth(pix), h = pixGetHeight(pix), d = pixGetDepth(pix);
    if (d != 1 && d != 8 && d != 32) return IMG_UNSUPPORTED_COLOR;
    const WORD bits = d == 32 ? 24 : static_cast<WORD>(d);
    const std::size_t stride = dib::Stride(w, bits);
    const std::size_t colours = bits == 24 ? 0 : (bits == 1 ? 2 : 256);
    std::vector<std::uint32_t> words((40 + 4 * colours + stride * static_cast<std::size_t>(h) + 3) / 4);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(words.data());
    *header = BITMAPINFOHEADER{40, w, h, 1, bits, BI_RGB, 0, pixGetXRes(pix), pixGetYRes(pix), 0, 0};
    auto* palette = reinterpret_cast<RGBQUAD*>(header + 1);
    for (std::size_t i = 0; i < colours; ++i) {
        const auto level = static_cast<BYTE>(colours == 2 ? 255 * i : i);
        palette[i] = RGBQUAD{level, level, level, 0};
    }
    BYTE* rows = dib::Bits(header);
    for (int y = 0; y < h; ++y) {
        BYTE* out = rows + static_cast<std::size_t>(h - 1 - y) * stride;
        const l_uint32* line = pixGetData(pix) + static_cast<std::ptrdiff_t>(y) * pixGetWpl(pix);
        for (int x = 0; x < w; ++x) {
            if (d == 1) {
                if (!GET_DATA_BIT(line, x)) out[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));  // set = white
            } else if (d == 8) {
                out[x] = static_cast<BYTE>(GET_DATA_BYTE(line, x));
            } else {
                const l_uint32 p = line[x];
                out[3 * x] = static_cast<BYTE>(p >> L_BLUE_SHIFT);
                out[3 * x + 1] = static_cast<BYTE>(p >> L_GREEN_SHIFT);
                out[3 * x + 2] = static_cast<BYTE>(p >> L_RED_SHIFT);
            }
        }
    }
    return ImageWrapper::create_handle_from_dib(header);
}

}  // namespace leafmend::skewset
