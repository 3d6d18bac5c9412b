// Bilinear rotation on DIB rows: each target pixel turned back onto the source
// in 16.16 fixed point and blended from its four neighbours. The run of a row
// whose neighbours all lie inside the source is found once per row and blended
// without tests; only the few pixels at the source's rim are checked one by
// one. Cost: one pass over the target, about 10 operations per channel.
#include "platform/imagelib/FineRotation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace imagelib {

void FineRotation::GrownSize(LONG width, LONG height, double degrees, LONG* grownWidth, LONG* grownHeight) {
    const double radians = degrees * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(radians));
    const double s = std::abs(std::sin(radians));
    // A hair below the exact bound keeps an exact fit from gaining a column.
    *grownWidth = static_cast<LONG>(std::ceil(width * c + height * s - 1e-6));
    *grownHeight = static_cast<LONG>(std::ceil(width * s + height * c - 1e-6));
}

namespace {

// Blends the four samples with 8-bit weights fx, fy (0..255).
inline BYTE Blend(unsigned p00, unsigned p10, unsigned p01, unsigned p11, unsigned fx, unsigned fy) {
    const unsigned top = p00 * (256 - fx) + p10 * fx;
    const unsigned bottom = p01 * (256 - fx) + p11 * fx;
    return static_cast<BYTE>((top * (256 - fy) + bottom * fy + (1u << 15)) >> 16);
}

// Floor of a / b for b > 0.
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// The run [first, last) of t in [0, count) where low <= a + t d < high.
void NarrowRun(std::int64_t a, std::int64_t d, std::int64_t low, std::int64_t high, LONG count, LONG& first,
               LONG& last) {
    std::int64_t from = 0;
    std::int64_t to = count;
    if (d == 0) {
        if (a < low || a >= high) to = 0;
    } else if (d > 0) {
        from = std::max(from, -FloorDiv(a - low, d));  // ceil((low - a) / d)
        to = std::min(to, -FloorDiv(a - high, d));     // ceil((high - a) / d)
    } else {
        from = std::max(from, FloorDiv(a - high, -d) + 1);  // a + t d < high
        to = std::min(to, FloorDiv(a - low, -d) + 1);       // a + t d >= low
    }
    first = static_cast<LONG>(std::max<std::int64_t>(first, from));
    last = static_cast<LONG>(std::min<std::int64_t>(last, to));
}

template <int Channels>
void RotateRows(const Dib& source, Dib& target, double radians, const BYTE* fill) {
    const LONG w = source.width(), h = source.height();
    const LONG tw = target.width(), th = target.height();
    std::vector<const BYTE*> rows(static_cast<std::size_t>(h));
    for (LONG y = 0; y < h; ++y) rows[static_cast<std::size_t>(y)] = source.topRow(y);
    const double c = std::cos(radians), s = std::sin(radians);
    // Pixel centres: target (x, y) turns back onto source
    //   sx = c (x - tcx) + s (y - tcy) + scx,  sy = -s (x - tcx) + c (y - tcy) + scy.
    const double scx = (w - 1) / 2.0, scy = (h - 1) / 2.0;
    const double tcx = (tw - 1) / 2.0, tcy = (th - 1) / 2.0;
    constexpr double kOne = 65536.0;
    const auto stepX = static_cast<std::int64_t>(std::llround(c * kOne));
    const auto stepY = static_cast<std::int64_t>(std::llround(-s * kOne));
    auto sample = [&](LONG x, LONG y, int channel) -> unsigned {
        if (x < 0 || y < 0 || x >= w || y >= h) return fill[channel];
        return rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x) * Channels + channel];
    };
    for (LONG ty = 0; ty < th; ++ty) {
        BYTE* out = target.topRow(ty);
        auto sx = static_cast<std::int64_t>(std::llround((c * (0 - tcx) + s * (ty - tcy) + scx) * kOne));
        auto sy = static_cast<std::int64_t>(std::llround((-s * (0 - tcx) + c * (ty - tcy) + scy) * kOne));
        // Blends target pixels [from, to) with every sample checked.
        const auto rim = [&](LONG from, LONG to) {
            std::int64_t px = sx + from * stepX;
            std::int64_t py = sy + from * stepY;
            BYTE* o = out + static_cast<std::size_t>(from) * Channels;
            for (LONG tx = from; tx < to; ++tx, px += stepX, py += stepY, o += Channels) {
                const auto ix = static_cast<LONG>(px >> 16);  // floor: arithmetic shift
                const auto iy = static_cast<LONG>(py >> 16);
                const auto fx = static_cast<unsigned>((px >> 8) & 0xFF);
                const auto fy = static_cast<unsigned>((py >> 8) & 0xFF);
                if (ix < -1 || iy < -1 || ix >= w || iy >= h) {
                    for (int k = 0; k < Channels; ++k) o[k] = fill[k];
                } else {
                    for (int k = 0; k < Channels; ++k)
                        o[k] = Blend(sample(ix, iy, k), sample(ix + 1, iy, k), sample(ix, iy + 1, k),
                                     sample(ix + 1, iy + 1, k), fx, fy);
                }
            }
        };
        // Inside: 0 <= ix < w - 1 and 0 <= iy < h - 1, that is the fixed-point
        // positions in [0, (w - 1) << 16) and [0, (h - 1) << 16).
        LONG first = 0;
        LONG last = tw;
        NarrowRun(sx, stepX, 0, static_cast<std::int64_t>(w - 1) << 16, tw, first, last);
        NarrowRun(sy, stepY, 0, static_cast<std::int64_t>(h - 1) << 16, tw, first, last);
        if (first >= last) {
            rim(0, tw);
            continue;
        }
        rim(0, first);
        std::int64_t px = sx + first * stepX;
        std::int64_t py = sy + first * stepY;
        BYTE* o = out + static_cast<std::size_t>(first) * Channels;
        for (LONG tx = first; tx < last; ++tx, px += stepX, py += stepY, o += Channels) {
            const auto ix = static_cast<std::size_t>(px >> 16);
            const auto iy = static_cast<std::size_t>(py >> 16);
            const auto fx = static_cast<unsigned>((px >> 8) & 0xFF);
            const auto fy = static_cast<unsigned>((py >> 8) & 0xFF);
            const BYTE* a = rows[iy] + ix * Channels;
            const BYTE* b = rows[iy + 1] + ix * Channels;
            for (int k = 0; k < Channels; ++k) o[k] = Blend(a[k], a[k + Channels], b[k], b[k + Channels], fx, fy);
        }
        rim(last, tw);
    }
}

}  // namespace

Dib FineRotation::Apply(const Dib& source, double degrees) { return Apply(source, degrees, 0xFFFFFFu); }

Dib FineRotation::Apply(const Dib& source, double degrees, std::uint32_t fill) {
    // Channel order of the DIB: blue, green, red; grey reads the low byte.
    const BYTE tone[3] = {static_cast<BYTE>(fill & 0xFF), static_cast<BYTE>((fill >> 8) & 0xFF),
                          static_cast<BYTE>((fill >> 16) & 0xFF)};
    LONG tw = 0, th = 0;
    GrownSize(source.width(), source.height(), degrees, &tw, &th);
    Dib target = Dib::Create(tw, th, source.bits(), source.header()->biXPelsPerMeter, source.header()->biYPelsPerMeter,
                             Dib::Fill::Zero);
    const double radians = degrees * std::numbers::pi / 180.0;
    if (source.bits() == 24)
        RotateRows<3>(source, target, radians, tone);
    else
        RotateRows<1>(source, target, radians, tone);
    return target;
}

}  // namespace imagelib
