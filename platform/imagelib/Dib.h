// An owned packed DIB in the library's house layout: 40-byte header, a full
// grey colour table for 1- and 8-bit pages, bottom-up rows padded to 4 bytes.
// Creating one is O(pixels) (white fill); every accessor is O(1).
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imagelib {

class Dib {
public:
    // Largest side and largest pixel area the library accepts; keeps every
    // size computation far from overflow and within what Leptonica allocates.
    static constexpr LONG kMaxSide = 65535;
    static constexpr std::size_t kMaxPixelBytes = std::size_t{1} << 31;

    Dib() = default;

    // A new page, all white or with zeroed rows (for callers that overwrite every
    // row). Throws std::bad_alloc when memory runs out; the caller checks the
    // size with Fits first.
    enum class Fill { White, Zero };
    static Dib Create(LONG width, LONG height, WORD bits, LONG dpiX = 0, LONG dpiY = 0, Fill fill = Fill::White);
    // True when a page of this size and depth (1, 8 or 24) is within limits.
    static bool Fits(long long width, long long height, WORD bits);

    bool empty() const { return words_.empty(); }
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(words_.data()); }
    const BITMAPINFOHEADER* header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(words_.data()); }
    LONG width() const { return header()->biWidth; }
    LONG height() const { return header()->biHeight; }
    WORD bits() const { return header()->biBitCount; }
    std::size_t stride() const { return dib::Stride(width(), bits()); }
    std::size_t size() const { return dib::PackedSize(*header()); }
    std::size_t capacity() const { return words_.size() * sizeof(std::uint32_t); }
    // The header still describes a page this memory holds (a caller may have
    // written through the raw pointer).
    bool intact() const;

    // Row y of the page counted from the top (memory row height - 1 - y).
    BYTE* topRow(LONG y) { return dib::Bits(header()) + static_cast<std::size_t>(height() - 1 - y) * stride(); }
    const BYTE* topRow(LONG y) const {
        return dib::Bits(header()) + static_cast<std::size_t>(height() - 1 - y) * stride();
    }

    // Takes over the pixels of `other`. When both have the same packed size the
    // bytes are copied into this DIB's memory, so raw pointers handed out
    // earlier stay valid; otherwise the memory is replaced.
    void replaceWith(Dib&& other);

private:
    std::vector<std::uint32_t> words_;  // 4-byte aligned storage of the packed DIB
};

}  // namespace imagelib
