// Leptonica-backed page transforms; see the header for costs. Every function
// leaves its input untouched and hands back a new image or a failure status.
#include "platform/imagelib/PixTransforms.h"

#include "platform/imagelib/Dib.h"

#include <array>
#include <cmath>
#include <numbers>

namespace imagelib {
namespace {

// Leptonica fails on checked input only when it cannot allocate.
int Deliver(PIX* made, PixPtr* out) {
    if (!made) return IMG_OUT_OF_MEMORY;
    out->reset(made);
    return IMG_OK;
}

l_uint32 WhiteValue(PIX* pix) {
    switch (pixGetDepth(pix)) {
        case 1:
            return 0;
        case 8:
            return 255;
        default:
            return 0xFFFFFF00u;
    }
}

// Leptonica rounds scaled sizes itself; trim or pad by a pixel where its float
// arithmetic lands next to the requested size.
PIX* ForceSize(PIX* pix, int width, int height) {
    if (!pix) return nullptr;
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    if (w == width && h == height) return pix;
    PixPtr owned(pix);
    PixPtr grown(pixAddBorderGeneral(owned.get(), 0, std::max(0, width - w), 0, std::max(0, height - h),
                                     WhiteValue(owned.get())));
    if (!grown) return nullptr;
    BOX* box = boxCreate(0, 0, width, height);
    PIX* clipped = pixClipRectangle(grown.get(), box, nullptr);
    boxDestroy(&box);
    return clipped;
}

PIX* ToGrey(PIX* pix) {
    switch (pixGetDepth(pix)) {
        case 1:
            return pixConvert1To8(nullptr, pix, 255, 0);
        case 8:
            return pixClone(pix);
        default:
            return pixConvertRGBToGray(pix, 0.299f, 0.587f, 0.114f);
    }
}

// Interpolating scale of a grey or colour image; strong reductions use
// low-pass filtering and subsampling, since interpolation alone would alias.
PIX* ScaleLinear(PIX* pix, float sx, float sy) {
    if (std::max(sx, sy) < 0.7f) return pixScaleSmooth(pix, sx, sy);
    return pixScaleLI(pix, sx, sy);
}

// Area mapping when shrinking, interpolation when growing, then an unsharp
// mask that restores the edges both of them soften.
PIX* ScaleBest(PIX* pix, float sx, float sy) {
    const float maxScale = std::max(sx, sy);
    PixPtr scaled(pixScaleGeneral(pix, sx, sy, 0.0f, 0));
    if (!scaled) return nullptr;
    if (maxScale <= 0.2f) return scaled.release();
    return pixUnsharpMasking(scaled.get(), maxScale < 0.7f ? 1 : 2, maxScale < 0.7f ? 0.2f : 0.4f);
}

}  // namespace

int PixTransforms::Rotate(PIX* pix, double degrees, PixPtr* out) {
    if (!std::isfinite(degrees)) return IMG_BAD_ARGUMENT;
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    const double radians = degrees * std::numbers::pi / 180.0;
    const double grownW = w * std::abs(std::cos(radians)) + h * std::abs(std::sin(radians));
    const double grownH = w * std::abs(std::sin(radians)) + h * std::abs(std::cos(radians));
    if (!Dib::Fits(std::llround(std::max<double>(w, grownW)) + 1, std::llround(std::max<double>(h, grownH)) + 1, 24))
        return IMG_BAD_ARGUMENT;
    const l_int32 type = pixGetDepth(pix) == 1 ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP;
    return Deliver(pixRotate(pix, static_cast<l_float32>(radians), type, L_BRING_IN_WHITE, w, h), out);
}

int PixTransforms::Resize(PIX* pix, int width, int height, ResizeQuality quality, PixPtr* out) {
    if (quality != RESIZE_QUALITY_FAST && quality != RESIZE_QUALITY_NORMAL && quality != RESIZE_QUALITY_BEST)
        return IMG_BAD_ARGUMENT;
    const float sx = static_cast<float>(width) / static_cast<float>(pixGetWidth(pix));
    const float sy = static_cast<float>(height) / static_cast<float>(pixGetHeight(pix));
    if (quality == RESIZE_QUALITY_FAST)
        return Deliver(ForceSize(pixScaleBySamplingToSize(pix, width, height), width, height), out);

    const bool binary = pixGetDepth(pix) == 1;
    PixPtr source(binary ? ToGrey(pix) : pixClone(pix));
    if (!source) return IMG_OUT_OF_MEMORY;
    PixPtr scaled(ForceSize(
        quality == RESIZE_QUALITY_NORMAL ? ScaleLinear(source.get(), sx, sy) : ScaleBest(source.get(), sx, sy), width,
        height));
    if (!scaled) return IMG_OUT_OF_MEMORY;
    if (!binary) {
        out->swap(scaled);
        return IMG_OK;
    }
    return Deliver(pixThresholdToBinary(scaled.get(), 128), out);
}

int PixTransforms::ChangeDepth(PIX* pix, int depth, bool autoThreshold, PixPtr* out) {
    const int from = pixGetDepth(pix);
    if (depth == from) return Deliver(pixClone(pix), out);
    switch (depth) {
        case 32: {
            PixPtr grey(ToGrey(pix));
            if (!grey) return IMG_OUT_OF_MEMORY;
            return Deliver(pixConvert8To32(grey.get()), out);
        }
        case 8:
            return Deliver(ToGrey(pix), out);
        case 1: {
            PixPtr grey(ToGrey(pix));
            if (!grey) return IMG_OUT_OF_MEMORY;
            const int threshold = autoThreshold ? OtsuThreshold(grey.get()) : 128;
            return Deliver(pixThresholdToBinary(grey.get(), threshold), out);
        }
        default:
            return IMG_UNSUPPORTED_COLOR;
    }
}

int PixTransforms::Crop(PIX* pix, int left, int top, int right, int bottom, PixPtr* out) {
    BOX* box = boxCreate(left, top, right - left, bottom - top);
    if (!box) return IMG_OUT_OF_MEMORY;
    PIX* clipped = pixClipRectangle(pix, box, nullptr);
    boxDestroy(&box);
    return Deliver(clipped, out);
}

int PixTransforms::AddMargins(PIX* pix, int left, int top, int right, int bottom, PixPtr* out) {
    return Deliver(pixAddBorderGeneral(pix, left, right, top, bottom, WhiteValue(pix)), out);
}

int PixTransforms::OtsuThreshold(PIX* grey) {
    std::array<double, 256> histogram{};
    const int w = pixGetWidth(grey);
    const int h = pixGetHeight(grey);
    const l_int32 wpl = pixGetWpl(grey);
    const l_uint32* data = pixGetData(grey);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < w; ++x) histogram[GET_DATA_BYTE(line, x)] += 1.0;
    }
    return OtsuThreshold(histogram);
}

int PixTransforms::OtsuThreshold(const std::array<double, 256>& histogram) {
    double total = 0.0, sum = 0.0;
    for (int v = 0; v < 256; ++v) {
        total += histogram[v];
        sum += v * histogram[v];
    }
    // Maximise the between-class variance over splits "level <= t is black".
    double weightBlack = 0.0, sumBlack = 0.0, best = 0.0;
    int bestSplit = -1;
    for (int t = 0; t < 255; ++t) {
        weightBlack += histogram[t];
        sumBlack += t * histogram[t];
        const double weightWhite = total - weightBlack;
        if (weightBlack == 0.0 || weightWhite == 0.0) continue;
        const double diff = sumBlack / weightBlack - (sum - sumBlack) / weightWhite;
        const double between = weightBlack * weightWhite * diff * diff;
        if (between > best) {
            best = between;
            bestSplit = t;
        }
    }
    return bestSplit < 0 ? 128 : bestSplit + 1;
}

}  // namespace imagelib
