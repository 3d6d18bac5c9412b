// Header checks and row copies for DIBs handed in by callers; O(pixels).
// 1-bit pages keep their bits as they are: a set bit is white whatever the
// caller's colour table says, the convention every pixel routine follows.
#include "platform/imagelib/DibImporter.h"

#include <array>
#include <cstring>

namespace imagelib {
namespace {

struct Palette {
    std::array<RGBQUAD, 256> entries{};
    bool grey = true;  // every entry has red = green = blue
};

// The caller's colour table as a lookup for every index. An 8-bit table that
// is empty (all zero) or the identity ramp means the bytes are grey levels
// already; a 4-bit table that is empty spreads the 16 levels over 0..255.
Palette ReadPalette(const BITMAPINFOHEADER& h, bool* trivial) {
    Palette p;
    const DWORD count = dib::ColorTableEntries(h);
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(&h) + h.biSize);
    bool allZero = true;
    bool identity = h.biBitCount == 8;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        const RGBQUAD e = table[i];
        p.entries[i] = e;
        if (e.rgbRed || e.rgbGreen || e.rgbBlue) allZero = false;
        if (e.rgbRed != i || e.rgbGreen != i || e.rgbBlue != i) identity = false;
        if (e.rgbRed != e.rgbGreen || e.rgbGreen != e.rgbBlue) p.grey = false;
    }
    *trivial = allZero || identity;
    if (allZero) {
        p.grey = true;
        const int step = h.biBitCount == 4 ? 17 : 1;
        for (int i = 0; i < (h.biBitCount == 4 ? 16 : 256); ++i) {
            const auto v = static_cast<BYTE>(i * step);
            p.entries[static_cast<std::size_t>(i)] = RGBQUAD{v, v, v, 0};
        }
    }
    return p;
}

}  // namespace

int DibImporter::Import(const BITMAPINFOHEADER* source, Dib* out) {
    if (!source || !out) return IMG_BAD_ARGUMENT;
    const BITMAPINFOHEADER& h = *source;
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0) return IMG_BAD_ARGUMENT;
    const WORD bits = h.biBitCount;
    if (h.biCompression != BI_RGB) return IMG_UNSUPPORTED_COLOR;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return IMG_UNSUPPORTED_COLOR;
    if (h.biClrUsed > 256 || (bits <= 8 && h.biClrUsed > (DWORD{1} << bits))) return IMG_BAD_ARGUMENT;

    const LONG width = h.biWidth;
    const bool topDown = h.biHeight < 0;
    const long long rows = topDown ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (!Dib::Fits(width, rows, 24)) return IMG_BAD_ARGUMENT;
    const LONG height = static_cast<LONG>(rows);

    bool trivial = true;
    Palette palette;
    if (bits == 4 || bits == 8) palette = ReadPalette(h, &trivial);
    WORD outBits = bits;
    if (bits == 32) outBits = 24;
    if (bits == 4 || (bits == 8 && !trivial)) outBits = palette.grey ? 8 : 24;

    Dib dib = Dib::Create(width, height, outBits, h.biXPelsPerMeter, h.biYPelsPerMeter, Dib::Fill::Zero);
    const BYTE* srcBits = dib::Bits(source);
    const std::size_t srcStride = dib::Stride(width, bits);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * outBits + 7) / 8;
    for (LONG y = 0; y < height; ++y) {
        const BYTE* s = srcBits + static_cast<std::size_t>(topDown ? y : height - 1 - y) * srcStride;
        BYTE* d = dib.topRow(y);
        if (bits == outBits && !(bits == 8 && !trivial)) {
            std::memcpy(d, s, rowBytes);
            if (bits == 1 && width % 8 != 0) d[rowBytes - 1] &= static_cast<BYTE>(0xFF << (8 - width % 8));
            continue;
        }
        for (LONG x = 0; x < width; ++x) {
            RGBQUAD c{};
            if (bits == 32) {
                c = RGBQUAD{s[4 * x], s[4 * x + 1], s[4 * x + 2], 0};
            } else {
                const unsigned index = bits == 8 ? s[x] : (s[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F;
                c = palette.entries[index];
            }
            if (outBits == 8) {
                d[x] = c.rgbGreen;
            } else {
                d[3 * x] = c.rgbBlue;
                d[3 * x + 1] = c.rgbGreen;
                d[3 * x + 2] = c.rgbRed;
            }
        }
    }
    *out = std::move(dib);
    return IMG_OK;
}

}  // namespace imagelib
