// Quarter and half turns on DIB rows; see the header for the cost. Row padding
// of the result is left clear.
#include "platform/imagelib/QuarterTurn.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace imagelib {
namespace {

constexpr LONG kTile = 64;

// Transposes the 8x8 bit matrix whose row r is byte r (most significant bit
// = column 0): afterwards byte c holds what was column c.
inline void Transpose8(std::array<BYTE, 8>& m) {
    std::uint64_t x = 0;
    for (int r = 0; r < 8; ++r) x = (x << 8) | m[r];
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    for (int r = 7; r >= 0; --r, x >>= 8) m[r] = static_cast<BYTE>(x);
}

const std::array<BYTE, 256>& ReversedBits() {
    static const std::array<BYTE, 256> table = [] {
        std::array<BYTE, 256> t{};
        for (int v = 0; v < 256; ++v) {
            int r = 0;
            for (int b = 0; b < 8; ++b) r |= ((v >> b) & 1) << (7 - b);
            t[static_cast<std::size_t>(v)] = static_cast<BYTE>(r);
        }
        return t;
    }();
    return table;
}

// Top-down row addressing without recomputing the header layout per row.
struct Rows {
    explicit Rows(const Dib& dib)
        : last(const_cast<BYTE*>(dib.topRow(0))), stride(static_cast<std::ptrdiff_t>(dib.stride())) {}
    BYTE* operator[](LONG y) const { return last - y * stride; }
    BYTE* last;  // the top row, stored last in memory
    std::ptrdiff_t stride;
};

// Clockwise turn of whole-byte pixels, tile by tile so that the 64 source
// rows and 64 destination rows of a tile stay in cache.
template <int Bpp>
void TurnTiles(const Rows& src, const Rows& dst, LONG sw, LONG sh) {
    for (LONG ty = 0; ty < sw; ty += kTile) {
        const LONG yEnd = std::min(ty + kTile, sw);
        for (LONG tx = 0; tx < sh; tx += kTile) {
            const LONG xEnd = std::min(tx + kTile, sh);
            for (LONG y = ty; y < yEnd; ++y) {
                BYTE* d = dst[y] + static_cast<std::size_t>(tx) * Bpp;
                const std::size_t column = static_cast<std::size_t>(y) * Bpp;
                for (LONG x = tx; x < xEnd; ++x, d += Bpp) {
                    const BYTE* s = src[sh - 1 - x] + column;
                    for (int b = 0; b < Bpp; ++b) d[b] = s[b];
                }
            }
        }
    }
}

}  // namespace

int QuarterTurn::Split(double degrees, double* rest) {
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0) turn += 360.0;
    const long nearest = std::lround(turn / 90.0);
    *rest = turn - 90.0 * static_cast<double>(nearest);
    if (std::abs(*rest) < 1e-9) *rest = 0.0;
    return static_cast<int>(nearest % 4);
}

Dib QuarterTurn::Apply(const Dib& source, int quarters) {
    switch (((quarters % 4) + 4) % 4) {
        case 1:
            return Clockwise(source);
        case 2:
            return HalfTurn(source);
        case 3:
            return HalfTurn(Clockwise(source));
        default: {
            Dib copy = Dib::Create(source.width(), source.height(), source.bits(), 0, 0, Dib::Fill::Zero);
            std::copy_n(reinterpret_cast<const BYTE*>(source.header()), source.size(),
                        reinterpret_cast<BYTE*>(copy.header()));
            return copy;
        }
    }
}

// Destination pixel (x, y) is source pixel (y, H - 1 - x), H the source height.
Dib QuarterTurn::Clockwise(const Dib& source) {
    const LONG sw = source.width();
    const LONG sh = source.height();
    const WORD bits = source.bits();
    Dib out =
        Dib::Create(sh, sw, bits, source.header()->biXPelsPerMeter, source.header()->biYPelsPerMeter, Dib::Fill::Zero);
    const Rows src(source);
    const Rows dst(out);
    if (bits == 1) {
        // Destination byte column bx covers source rows H-1-8bx ... H-8-8bx;
        // destination rows 8by ... 8by+7 are source byte column by.
        const LONG dstBytes = (sh + 7) / 8;
        const LONG srcBytes = (sw + 7) / 8;
        std::array<BYTE, 8> block{};
        for (LONG bx = 0; bx < dstBytes; ++bx) {
            for (LONG by = 0; by < srcBytes; ++by) {
                for (int k = 0; k < 8; ++k) {
                    const LONG sy = sh - 1 - (8 * bx + k);
                    block[static_cast<std::size_t>(k)] = sy >= 0 ? src[sy][by] : 0;
                }
                Transpose8(block);
                const LONG rows = std::min<LONG>(8, sw - 8 * by);
                for (LONG j = 0; j < rows; ++j) dst[8 * by + j][bx] = block[static_cast<std::size_t>(j)];
            }
        }
        return out;
    }
    if (bits == 8) {
        TurnTiles<1>(src, dst, sw, sh);
    } else {
        TurnTiles<3>(src, dst, sw, sh);
    }
    return out;
}

// Destination row y is source row H - 1 - y read backwards.
Dib QuarterTurn::HalfTurn(const Dib& source) {
    const LONG w = source.width();
    const LONG h = source.height();
    const WORD bits = source.bits();
    Dib out =
        Dib::Create(w, h, bits, source.header()->biXPelsPerMeter, source.header()->biYPelsPerMeter, Dib::Fill::Zero);
    const auto& reversed = ReversedBits();
    const Rows src(source);
    const Rows dst(out);
    const LONG bytes = (w * bits + 7) / 8;
    const int spare = static_cast<int>(bytes * 8 - static_cast<long long>(w) * bits);  // 1-bit only
    for (LONG y = 0; y < h; ++y) {
        const BYTE* s = src[h - 1 - y];
        BYTE* d = dst[y];
        if (bits == 1) {
            // Reverse the bytes and their bits, then slide left over the spare bits.
            for (LONG i = 0; i < bytes; ++i) {
                const unsigned here = reversed[s[bytes - 1 - i]];
                const unsigned next = i + 1 < bytes ? reversed[s[bytes - 2 - i]] : 0u;
                d[i] = static_cast<BYTE>(spare == 0 ? here : (here << spare) | (next >> (8 - spare)));
            }
            if (spare != 0) d[bytes - 1] &= static_cast<BYTE>(0xFF << spare);
        } else if (bits == 8) {
            std::reverse_copy(s, s + w, d);
        } else {
            for (LONG x = 0; x < w; ++x) {
                const BYTE* p = s + 3 * static_cast<std::size_t>(w - 1 - x);
                d[3 * x] = p[0];
                d[3 * x + 1] = p[1];
                d[3 * x + 2] = p[2];
            }
        }
    }
    return out;
}

}  // namespace imagelib
