// Packed DIB storage and the layout helpers every caller uses to walk it.
// Blank pages cost one O(pixels) white fill; the helpers are O(1).
#include "platform/imagelib/Dib.h"

#include <cstring>

namespace dib {

DWORD ColorTableEntries(const BITMAPINFOHEADER& h) {
    if (h.biClrUsed != 0) return h.biClrUsed;
    if (h.biBitCount <= 8) return DWORD{1} << h.biBitCount;
    return 0;
}

std::size_t Stride(LONG width, WORD bits) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    return ((bits * w + 31) / 8) & ~std::size_t{3};
}

BYTE* Bits(BITMAPINFOHEADER* h) { return reinterpret_cast<BYTE*>(h) + h->biSize + 4 * ColorTableEntries(*h); }

const BYTE* Bits(const BITMAPINFOHEADER* h) {
    return reinterpret_cast<const BYTE*>(h) + h->biSize + 4 * ColorTableEntries(*h);
}

std::size_t PackedSize(const BITMAPINFOHEADER& h) {
    const std::size_t rows = h.biHeight < 0 ? static_cast<std::size_t>(-static_cast<long long>(h.biHeight))
                                            : static_cast<std::size_t>(h.biHeight);
    return h.biSize + 4 * std::size_t{ColorTableEntries(h)} + Stride(h.biWidth, h.biBitCount) * rows;
}

}  // namespace dib

namespace imagelib {

bool Dib::Fits(long long width, long long height, WORD bits) {
    if (bits != 1 && bits != 8 && bits != 24) return false;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    const auto stride = dib::Stride(static_cast<LONG>(width), bits);
    return stride * static_cast<std::size_t>(height) <= kMaxPixelBytes;
}

bool Dib::intact() const {
    if (empty() || capacity() < sizeof(BITMAPINFOHEADER)) return false;
    const BITMAPINFOHEADER& h = *header();
    return h.biSize == sizeof(BITMAPINFOHEADER) && Fits(h.biWidth, h.biHeight, h.biBitCount) &&
           dib::PackedSize(h) <= capacity();
}

Dib Dib::Create(LONG width, LONG height, WORD bits, LONG dpiX, LONG dpiY, Fill fill) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(dib::Stride(width, bits) * static_cast<std::size_t>(height));
    h.biXPelsPerMeter = dpiX;
    h.biYPelsPerMeter = dpiY;
    h.biClrUsed = 0;
    h.biClrImportant = 0;

    Dib d;
    d.words_.resize((dib::PackedSize(h) + 3) / 4);
    std::memcpy(d.words_.data(), &h, sizeof h);
    // Grey colour table: black to white in 2 or 256 steps.
    const DWORD entries = dib::ColorTableEntries(h);
    auto* table = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(d.words_.data()) + sizeof h);
    for (DWORD i = 0; i < entries; ++i) {
        const auto v = static_cast<BYTE>(entries == 2 ? i * 255 : i);
        table[i] = RGBQUAD{v, v, v, 0};
    }
    if (fill == Fill::Zero) return d;
    // White everywhere; for 1-bit pages the row padding stays clear.
    BYTE* bitsPtr = dib::Bits(d.header());
    const std::size_t stride = d.stride();
    const std::size_t used = (static_cast<std::size_t>(width) * bits + 7) / 8;
    for (LONG y = 0; y < height; ++y) {
        BYTE* row = bitsPtr + static_cast<std::size_t>(y) * stride;
        std::memset(row, 0xFF, used);
        if (bits == 1 && width % 8 != 0) row[used - 1] = static_cast<BYTE>(0xFF << (8 - width % 8));
    }
    return d;
}

void Dib::replaceWith(Dib&& other) {
    if (!empty() && words_.size() == other.words_.size()) {
        std::memcpy(words_.data(), other.words_.data(), words_.size() * sizeof(std::uint32_t));
    } else {
        words_.swap(other.words_);
    }
    other.words_.clear();
}

}  // namespace imagelib
