// Direct thresholding of DIB rows.
#include "platform/imagelib/DibBinarizer.h"

#include "platform/imagelib/PixTransforms.h"

#include <array>
#include <vector>

namespace imagelib {

Dib DibBinarizer::Apply(const Dib& source, bool autoThreshold) {
    const LONG w = source.width(), h = source.height();
    std::vector<BYTE> grey(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::array<double, 256> histogram{};
    {
        std::array<std::uint32_t, 256> counts{};
        for (LONG y = 0; y < h; ++y) {
            const BYTE* row = source.topRow(y);
            BYTE* out = grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
            if (source.bits() == 24) {
                for (LONG x = 0; x < w; ++x, row += 3) {
                    // Row bytes are blue, green, red; the same float sum and
                    // rounding as pixConvertRGBToGray, so the levels agree.
                    const float level = 0.299f * row[2] + 0.587f * row[1] + 0.114f * row[0];
                    out[x] = static_cast<BYTE>(static_cast<int>(level + 0.5));
                }
            } else {
                std::copy(row, row + w, out);
            }
            for (LONG x = 0; x < w; ++x) ++counts[out[x]];
        }
        for (int v = 0; v < 256; ++v) histogram[v] = counts[v];
    }
    const int threshold = autoThreshold ? PixTransforms::OtsuThreshold(histogram) : 128;
    Dib target =
        Dib::Create(w, h, 1, source.header()->biXPelsPerMeter, source.header()->biYPelsPerMeter, Dib::Fill::Zero);
    for (LONG y = 0; y < h; ++y) {
        const BYTE* in = grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        BYTE* out = target.topRow(y);
        // MSB first; a set bit is white (level at or above the threshold).
        LONG x = 0;
        for (; x + 8 <= w; x += 8) {
            unsigned byte = 0;
            for (int k = 0; k < 8; ++k) byte = (byte << 1) | (in[x + k] >= threshold ? 1u : 0u);
            *out++ = static_cast<BYTE>(byte);
        }
        if (x < w) {
            unsigned byte = 0;
            for (int k = 0; k < 8; ++k) byte = (byte << 1) | (x + k < w && in[x + k] >= threshold ? 1u : 0u);
            *out = static_cast<BYTE>(byte);
        }
    }
    return target;
}

}  // namespace imagelib
