// CropFrameFill: finding the frame on a black-and-white copy and whitening it
// in the page's DIB.
#include "processes/cleanup/CropFrameFill.h"

#include "platform/imagelib/ImageWrapper.h"
#include "platform/imagelib/PageBridge.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

using imagelib::PixPtr;

namespace {

struct BoxDeleter {
    void operator()(BOX* box) const { boxDestroy(&box); }
};
using BoxPtr = std::unique_ptr<BOX, BoxDeleter>;
struct BoxaDeleter {
    void operator()(BOXA* boxa) const { boxaDestroy(&boxa); }
};
using BoxaPtr = std::unique_ptr<BOXA, BoxaDeleter>;
struct PixaDeleter {
    void operator()(PIXA* pixa) const { pixaDestroy(&pixa); }
};
using PixaPtr = std::unique_ptr<PIXA, PixaDeleter>;

int CountInColumn(PIX* part, int column) {
    BoxPtr line(boxCreate(column, 0, 1, pixGetHeight(part)));
    l_int32 count = 0;
    pixCountPixelsInRect(part, line.get(), &count, nullptr);
    return count;
}

int CountInRow(PIX* part, int row) {
    l_int32 count = 0;
    pixCountPixelsInRow(part, row, &count, nullptr);
    return count;
}

// A piece of the edge-connected black that lies beyond the frame's reach: a
// speck of its rim, or a strip along a page edge (long, flat, touching the
// edge along most of its length). Anything else is content that touches the
// frame or the edge, such as a character or a rule.
bool IsFrameRemnant(PIX* part, const BOX* box, int width, int height, const CropFrameFill::Sizes& sizes) {
    const int x = box->x, y = box->y, w = box->w, h = box->h;
    if (w <= sizes.reach && h <= sizes.reach) return true;
    auto hugs = [&](int contact, int along, int across) {
        return along >= sizes.strip && along >= 3 * across && 4 * contact >= 3 * along;
    };
    return (x == 0 && hugs(CountInColumn(part, 0), h, w)) ||
           (x + w == width && hugs(CountInColumn(part, w - 1), h, w)) || (y == 0 && hugs(CountInRow(part, 0), w, h)) ||
           (y + h == height && hugs(CountInRow(part, h - 1), w, h));
}

bool IsSpeck(PIX*, const BOX* box, int, int, const CropFrameFill::Sizes& sizes) {
    return box->w <= sizes.reach && box->h <= sizes.reach;
}

// True when every pixel of `part`, placed at `box`, is set in `mask`.
bool Inside(PIX* part, const BOX* box, PIX* mask) {
    PixPtr under(pixCreate(box->w, box->h, 1));
    if (!under) return false;
    pixRasterop(under.get(), 0, 0, box->w, box->h, PIX_SRC, mask, box->x, box->y);
    pixSubtract(under.get(), part, under.get());
    l_int32 empty = 0;
    pixZero(under.get(), &empty);
    return empty != 0;
}

// Adds to `frame` every 8-connected part of `pieces` that `isFrame` takes.
template <class IsFrame>
bool AddParts(PIX* frame, PIX* pieces, const CropFrameFill::Sizes& sizes, IsFrame isFrame) {
    l_int32 empty = 1;
    pixZero(pieces, &empty);
    if (empty) return true;
    PIXA* partsRaw = nullptr;
    BoxaPtr boxes(pixConnComp(pieces, &partsRaw, 8));
    PixaPtr parts(partsRaw);
    if (!boxes || !parts) return false;
    const int w = pixGetWidth(frame), h = pixGetHeight(frame);
    const int count = pixaGetCount(parts.get());
    for (int i = 0; i < count; ++i) {
        PixPtr part(pixaGetPix(parts.get(), i, L_CLONE));
        BoxPtr box(pixaGetBox(parts.get(), i, L_CLONE));
        if (!part || !box) return false;
        if (isFrame(part.get(), box.get(), w, h, sizes))
            pixRasterop(frame, box->x, box->y, box->w, box->h, PIX_SRC | PIX_DST, part.get(), 0, 0);
    }
    return true;
}

// A half-size mask back at full size: each pixel becomes a 2 x 2 block, and
// an odd last column or row repeats the one before it.
PixPtr ExpandTo(PIX* half, int width, int height) {
    PixPtr doubled(pixExpandBinaryPower2(half, 2));
    if (!doubled) return nullptr;
    const int dw = pixGetWidth(doubled.get()), dh = pixGetHeight(doubled.get());
    if (dw == width && dh == height) return doubled;
    PixPtr full(pixCreate(width, height, 1));
    if (!full) return nullptr;
    pixRasterop(full.get(), 0, 0, dw, dh, PIX_SRC, doubled.get(), 0, 0);
    if (dw < width) pixRasterop(full.get(), dw, 0, width - dw, height, PIX_SRC, full.get(), dw - 1, 0);
    if (dh < height) pixRasterop(full.get(), 0, dh, width, height - dh, PIX_SRC, full.get(), 0, dh - 1);
    return full;
}

// A page whose edge-connected black holds no solid body: only strips along
// the edges (a thin scanner border) and specks count.
PixPtr RemnantsOnly(PIX* edge, PixPtr frame, const CropFrameFill::Sizes& sizes) {
    if (!AddParts(frame.get(), edge, sizes, IsFrameRemnant)) return nullptr;
    return frame;
}

// Calls paint(row, x) for every set pixel of `mask`; rows counted from the top.
template <class Paint>
void ForEachSetPixel(PIX* mask, Paint paint) {
    const int w = pixGetWidth(mask), h = pixGetHeight(mask), wpl = pixGetWpl(mask);
    const l_uint32* data = pixGetData(mask);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
        for (int i = 0; i < wpl; ++i) {
            // Leptonica words: the leftmost pixel is the most significant bit.
            std::uint32_t word = line[i];
            while (word != 0) {
                const int bit = std::countl_zero(word);
                const int x = 32 * i + bit;
                if (x >= w) break;
                paint(y, x);
                word &= ~(0x80000000u >> bit);
            }
        }
    }
}

// Median level of `histogram`; 255 when it is empty.
int Median(const std::array<long long, 256>& histogram) {
    long long total = 0;
    for (long long count : histogram) total += count;
    long long seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += histogram[static_cast<std::size_t>(level)];
        if (total > 0 && 2 * seen >= total) return level;
    }
    return 255;
}

}  // namespace

CropFrameFill::Sizes CropFrameFill::SizesFor(int dpi, int width, int height) {
    int resolution = dpi;
    if (resolution < 50 || resolution > 2400) {
        const double longSide = std::max(width, height) / 11.0, shortSide = std::min(width, height) / 8.3;
        resolution = std::max(100, static_cast<int>(std::min(longSide, shortSide)));
    }
    // At 300 dpi: a frame is solid over about 15 x 15 pixels somewhere (no
    // text stroke is), its ragged rim reaches 5 pixels beyond that, and a
    // strip along an edge counts from 60 pixels (a fifth of an inch) on.
    const int core = std::max(5, (resolution + 10) / 20);
    return {core, std::max(3, core / 3), 4 * core};
}

PixPtr CropFrameFill::FrameOf(PIX* black, const Sizes& sizes) {
    const int w = pixGetWidth(black), h = pixGetHeight(black);
    PixPtr frame(pixCreate(w, h, 1));
    PixPtr edge(pixExtractBorderConnComps(black, 8));
    if (!frame || !edge) return nullptr;
    l_int32 empty = 1;
    pixZero(edge.get(), &empty);
    if (empty || w < 2 || h < 2) return frame;

    // The frame's body, found at half size (a 2 x 2 block with any black
    // pixel is black, which closes pinholes): what holds a solid core x core
    // square, and of that only what reaches the edge band (a bold blot
    // hanging on the frame by a stroke is not frame).
    PixPtr half(pixReduceRankBinary2(edge.get(), 1, nullptr));
    if (!half) return nullptr;
    const int hw = pixGetWidth(half.get()), hh = pixGetHeight(half.get());
    const int core = std::max(2, sizes.core / 2);
    PixPtr solid(pixOpenCompBrickDwa(nullptr, half.get(), core, core));
    PixPtr seed(solid ? pixCopy(nullptr, solid.get()) : nullptr);
    if (!seed) return nullptr;
    if (hw > 2 * core && hh > 2 * core) {
        BoxPtr inner(boxCreate(core, core, hw - 2 * core, hh - 2 * core));
        pixClearInRect(seed.get(), inner.get());
    }
    PixPtr body(pixSeedfillBinary(nullptr, seed.get(), solid.get(), 8));
    if (!body) return nullptr;
    pixZero(body.get(), &empty);
    if (empty) return RemnantsOnly(edge.get(), std::move(frame), sizes);

    // Its reach, and the near zone beyond: pieces of the ragged rim that lie
    // wholly in the near zone are frame too (a stroke that touches the frame
    // reaches out of it and keeps all but the reach), and so are specks there
    // that pinholes cut off the rim. Both back at full size.
    const int reach = std::max(1, sizes.reach / 4);
    PixPtr reachHalf(pixDilateCompBrickDwa(nullptr, body.get(), 2 * reach + 1, 2 * reach + 1));
    PixPtr nearHalf(reachHalf ? pixDilateCompBrickDwa(nullptr, reachHalf.get(), 5, 5) : nullptr);
    PixPtr zone(nearHalf ? ExpandTo(reachHalf.get(), w, h) : nullptr);
    PixPtr near(zone ? ExpandTo(nearHalf.get(), w, h) : nullptr);
    if (!near) return nullptr;

    // The frame: edge-connected black within reach of the body, and what the
    // pieces left over show to be frame.
    pixAnd(frame.get(), zone.get(), edge.get());
    PixPtr rest(pixSubtract(nullptr, edge.get(), frame.get()));
    auto isRimOrRemnant = [&near](PIX* part, const BOX* box, int w, int h, const Sizes& s) {
        return IsFrameRemnant(part, box, w, h, s) || Inside(part, box, near.get());
    };
    if (!rest || !AddParts(frame.get(), rest.get(), sizes, isRimOrRemnant)) return nullptr;

    // Specks beside the rim, not joined to it: whole components of the
    // other black that the near zone touches, when no bigger than the reach.
    PixPtr other(pixSubtract(nullptr, black, edge.get()));
    if (!other) return nullptr;
    pixAnd(near.get(), near.get(), other.get());
    pixZero(near.get(), &empty);
    if (!empty) {
        PixPtr touched(pixSeedfillBinary(nullptr, near.get(), other.get(), 8));
        if (!touched || !AddParts(frame.get(), touched.get(), sizes, IsSpeck)) return nullptr;
    }
    return frame;
}

long long CropFrameFill::Whiten(int handle) {
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    if (!dib) return 0;
    const int bits = dib->biBitCount;
    if (bits != 1 && bits != 8 && bits != 24) return 0;
    PixPtr page(imagelib::CopyPageToPix(handle));
    if (!page) return kOutOfMemory;
    const int w = pixGetWidth(page.get()), h = pixGetHeight(page.get());
    if (dib->biWidth != w || dib->biHeight != h) return 0;
    const Sizes sizes = SizesFor(dib->biXPelsPerMeter, w, h);
    const std::size_t stride = dib::Stride(w, static_cast<WORD>(bits));
    std::uint8_t* rows = dib::Bits(dib);
    // Pix rows run top-down, DIB rows bottom-up.
    auto dibRow = [&](int y) { return rows + static_cast<std::size_t>(h - 1 - y) * stride; };

    if (bits == 1) {
        PixPtr frame = FrameOf(page.get(), sizes);
        if (!frame) return kOutOfMemory;
        // Both layouts keep the leftmost pixel in the most significant bit and
        // rows of whole 32-bit words; the DIB's byte stream is the Leptonica
        // word big-endian, and its set bits are white. Pad bits stay as they are.
        const int wpl = pixGetWpl(frame.get());
        const l_uint32* data = pixGetData(frame.get());
        const std::uint32_t lastMask = (w % 32) == 0 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> (w % 32));
        for (int y = 0; y < h; ++y) {
            const l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
            std::uint8_t* row = dibRow(y);
            for (int i = 0; i < wpl; ++i) {
                const std::uint32_t word = line[i] & (i == wpl - 1 ? lastMask : 0xFFFFFFFFu);
                if (word == 0) continue;
                for (int b = 0; b < 4; ++b) row[4 * i + b] |= static_cast<std::uint8_t>(word >> (24 - 8 * b));
            }
        }
        l_int32 changed = 0;
        pixCountPixels(frame.get(), &changed, nullptr);
        return changed;
    }

    // Otsu's method wants a page of at least 16 x 16 pixels.
    if (w < 16 || h < 16) return 0;
    PixPtr grey(bits == 8 ? pixClone(page.get()) : pixConvertRGBToLuminance(page.get()));
    if (!grey) return kOutOfMemory;
    PIX* thresholdsRaw = nullptr;
    PIX* blackRaw = nullptr;
    const l_ok failed = pixOtsuAdaptiveThreshold(grey.get(), w, h, 0, 0, 0.1f, &thresholdsRaw, &blackRaw);
    PixPtr thresholds(thresholdsRaw), black(blackRaw);
    if (failed || !thresholds || !black) return kOutOfMemory;
    l_uint32 threshold = 128;
    pixGetPixel(thresholds.get(), 0, 0, &threshold);
    PixPtr frame = FrameOf(black.get(), sizes);
    if (!frame) return kOutOfMemory;
    l_int32 changed = 0;
    pixCountPixels(frame.get(), &changed, nullptr);
    if (changed == 0) return 0;

    // The paper: per channel, the median of the pixels lighter than the threshold.
    std::array<std::array<long long, 256>, 3> histograms{};
    const int lightFrom = static_cast<int>(threshold);
    const l_uint32* greyData = pixGetData(grey.get());
    const l_uint32* pageData = pixGetData(page.get());
    const int greyWpl = pixGetWpl(grey.get()), pageWpl = pixGetWpl(page.get());
    for (int y = 0; y < h; y += 2) {
        const l_uint32* greyLine = greyData + static_cast<std::size_t>(y) * greyWpl;
        const l_uint32* pageLine = pageData + static_cast<std::size_t>(y) * pageWpl;
        for (int x = 0; x < w; x += 2) {
            const int level = GET_DATA_BYTE(greyLine, x);
            if (level < lightFrom) continue;
            if (bits == 8) {
                ++histograms[0][static_cast<std::size_t>(level)];
            } else {
                l_int32 r = 0, g = 0, b = 0;
                extractRGBValues(pageLine[x], &r, &g, &b);
                ++histograms[0][static_cast<std::size_t>(b)];
                ++histograms[1][static_cast<std::size_t>(g)];
                ++histograms[2][static_cast<std::size_t>(r)];
            }
        }
    }
    const std::array<std::uint8_t, 3> paper{static_cast<std::uint8_t>(Median(histograms[0])),
                                            static_cast<std::uint8_t>(Median(histograms[1])),
                                            static_cast<std::uint8_t>(Median(histograms[2]))};

    // The frame and its light rim of one pixel (the soft edge between a dark
    // border and the paper), but no dark pixel beside it that is not frame.
    PixPtr paint(pixDilateBrickDwa(nullptr, frame.get(), 3, 3));
    if (!paint) return kOutOfMemory;
    pixSubtract(paint.get(), paint.get(), black.get());
    pixOr(paint.get(), paint.get(), frame.get());
    if (bits == 8) {
        ForEachSetPixel(paint.get(), [&](int y, int x) { dibRow(y)[x] = paper[0]; });
    } else {
        ForEachSetPixel(paint.get(), [&](int y, int x) {
            std::uint8_t* p = dibRow(y) + static_cast<std::size_t>(x) * 3;
            p[0] = paper[0];
            p[1] = paper[1];
            p[2] = paper[2];
        });
    }
    return changed;
}
