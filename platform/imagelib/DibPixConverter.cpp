// DIB <-> Leptonica conversion, O(pixels) with word-sized moves where the two
// layouts agree. Leptonica keeps each row as native-endian 32-bit words whose
// most significant byte is the leftmost; a DIB row is a byte stream, so on a
// little-endian machine every word is byte-swapped on the way.
#include "platform/imagelib/DibPixConverter.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace imagelib {
namespace {

// Word of a byte stream in Leptonica order (first byte most significant).
inline std::uint32_t LoadStreamWord(const BYTE* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
    return w;
}

inline void StoreStreamWord(BYTE* p, std::uint32_t w) {
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
    std::memcpy(p, &w, 4);
}

// Mask of the bits of the last word of a row that belong to pixels.
inline std::uint32_t LastWordMask(LONG width, int bits) {
    const int used = static_cast<int>((static_cast<long long>(width) * bits) % 32);
    return used == 0 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> used);
}

// Rows whose bytes move unchanged apart from word order (8 bpp) or with every
// bit flipped (1 bpp); the last word keeps only pixel bits.
void CopyRowsWordwise(const BYTE* src, std::size_t srcStride, bool srcBottomUp, BYTE* dst, std::size_t dstStride,
                      bool dstBottomUp, LONG width, LONG height, int bits, bool invert, bool toPix) {
    const std::size_t words = dib::Stride(width, static_cast<WORD>(bits)) / 4;
    const std::uint32_t flip = invert ? 0xFFFFFFFFu : 0u;
    const std::uint32_t lastMask = LastWordMask(width, bits);
    for (LONG y = 0; y < height; ++y) {
        const BYTE* s = src + static_cast<std::size_t>(srcBottomUp ? height - 1 - y : y) * srcStride;
        BYTE* d = dst + static_cast<std::size_t>(dstBottomUp ? height - 1 - y : y) * dstStride;
        if (toPix) {
            auto* out = reinterpret_cast<std::uint32_t*>(d);
            for (std::size_t i = 0; i < words; ++i) out[i] = LoadStreamWord(s + 4 * i) ^ flip;
            out[words - 1] &= lastMask;
        } else {
            const auto* in = reinterpret_cast<const std::uint32_t*>(s);
            for (std::size_t i = 0; i + 1 < words; ++i) StoreStreamWord(d + 4 * i, in[i] ^ flip);
            StoreStreamWord(d + 4 * (words - 1), (in[words - 1] ^ flip) & lastMask);
        }
    }
}

// Luminance of a colour-map entry, for deciding the polarity of a 1 bpp map.
int EntryLuminance(PIXCMAP* cmap, int index) {
    l_int32 r = 0, g = 0, b = 0;
    pixcmapGetColor(cmap, index, &r, &g, &b);
    return 299 * r + 587 * g + 114 * b;
}

}  // namespace

PixPtr DibPixConverter::ToPix(const Dib& dib) {
    const LONG w = dib.width();
    const LONG h = dib.height();
    const WORD bits = dib.bits();
    PixPtr pix(pixCreateNoInit(w, h, bits == 24 ? 32 : bits));
    if (!pix) return nullptr;
    pixSetResolution(pix.get(), dib.header()->biXPelsPerMeter, dib.header()->biYPelsPerMeter);
    auto* data = reinterpret_cast<BYTE*>(pixGetData(pix.get()));
    const std::size_t pixStride = static_cast<std::size_t>(pixGetWpl(pix.get())) * 4;
    const BYTE* src = dib::Bits(dib.header());
    const std::size_t stride = dib.stride();
    if (bits == 1 || bits == 8) {
        CopyRowsWordwise(src, stride, true, data, pixStride, false, w, h, bits, bits == 1, true);
        return pix;
    }
    for (LONG y = 0; y < h; ++y) {
        const BYTE* s = dib.topRow(y);
        auto* d = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(y) * pixStride);
        for (LONG x = 0; x < w; ++x, s += 3) {
            d[x] = (std::uint32_t{s[2]} << L_RED_SHIFT) | (std::uint32_t{s[1]} << L_GREEN_SHIFT) |
                   (std::uint32_t{s[0]} << L_BLUE_SHIFT);
        }
    }
    return pix;
}

PixPtr DibPixConverter::Normalise(PIX* pix) {
    if (!pix) return nullptr;
    const l_int32 depth = pixGetDepth(pix);
    PIXCMAP* cmap = pixGetColormap(pix);
    if (cmap && depth == 1) {
        // Leptonica's uncoloured 1 bpp means 1 = black; keep the bits when the
        // map agrees (index 1 darker), flip them otherwise.
        PixPtr out(pixCopy(nullptr, pix));
        if (!out) return nullptr;
        pixDestroyColormap(out.get());
        const bool oneIsDark = pixcmapGetCount(cmap) < 2 || EntryLuminance(cmap, 1) < EntryLuminance(cmap, 0);
        if (!oneIsDark) pixInvert(out.get(), out.get());
        return out;
    }
    if (cmap) return Normalise(PixPtr(pixRemoveColormap(pix, REMOVE_CMAP_BASED_ON_SRC)).get());
    switch (depth) {
        case 1:
        case 8:
            return PixPtr(pixClone(pix));
        case 2:
        case 4:
            return PixPtr(pixConvertTo8(pix, 0));
        case 16:
            return PixPtr(pixConvert16To8(pix, L_MS_BYTE));
        case 24:
            return PixPtr(pixConvert24To32(pix));
        case 32:
            if (pixGetSpp(pix) == 4) return PixPtr(pixAlphaBlendUniform(pix, 0xFFFFFF00));
            return PixPtr(pixClone(pix));
        default:
            return nullptr;
    }
}

Dib DibPixConverter::ToDib(PIX* pix) {
    const l_int32 w = pixGetWidth(pix);
    const l_int32 h = pixGetHeight(pix);
    const l_int32 depth = pixGetDepth(pix);
    const WORD bits = depth == 32 ? 24 : static_cast<WORD>(depth);
    Dib dib = Dib::Create(w, h, bits, pixGetXRes(pix), pixGetYRes(pix), Dib::Fill::Zero);
    const auto* data = reinterpret_cast<const BYTE*>(pixGetData(pix));
    const std::size_t pixStride = static_cast<std::size_t>(pixGetWpl(pix)) * 4;
    if (bits == 1 || bits == 8) {
        CopyRowsWordwise(data, pixStride, false, dib::Bits(dib.header()), dib.stride(), true, w, h, bits, bits == 1,
                         false);
        return dib;
    }
    for (l_int32 y = 0; y < h; ++y) {
        const auto* s = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * pixStride);
        BYTE* d = dib.topRow(y);
        for (l_int32 x = 0; x < w; ++x, d += 3) {
            const std::uint32_t v = s[x];
            d[0] = static_cast<BYTE>(v >> L_BLUE_SHIFT);
            d[1] = static_cast<BYTE>(v >> L_GREEN_SHIFT);
            d[2] = static_cast<BYTE>(v >> L_RED_SHIFT);
        }
    }
    return dib;
}

}  // namespace imagelib
