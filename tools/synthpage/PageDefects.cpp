// PageDefects: scan defects on Leptonica images (see PageDefects.h). Cost: linear in the page area
// for the full-page defects; specks cost one dilation plus a small box test per candidate.
#include "tools/synthpage/PageDefects.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace leafmend::synthpage {
namespace {

// SplitMix64: tiny, fast, and the same sequence on every platform and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    // Uniform in [-1, 1).
    double Symmetric() { return static_cast<double>(Next() >> 11) * (2.0 / 9007199254740992.0) - 1.0; }

private:
    std::uint64_t state_;
};

l_uint32 BlackValue(Pix* pix) { return pixGetDepth(pix) == 1 ? 1u : 0u; }

// Clips `r` to the image; false when nothing is left.
bool ClipToImage(Pix* pix, Rect& r) {
    const int x0 = std::max(r.x, 0);
    const int y0 = std::max(r.y, 0);
    const int x1 = std::min(r.Right(), pixGetWidth(pix));
    const int y1 = std::min(r.Bottom(), pixGetHeight(pix));
    if (x1 <= x0 || y1 <= y0) return false;
    r = {x0, y0, x1 - x0, y1 - y0};
    return true;
}

void SetRect(Pix* pix, Rect r, l_uint32 value) {
    if (!ClipToImage(pix, r)) return;
    BOX* box = boxCreate(r.x, r.y, r.w, r.h);
    pixSetInRectArbitrary(pix, box, value);
    boxDestroy(&box);
}

// 1-bit mask of everything darker than near-white.
Pix* InkMask(Pix* pix) {
    switch (pixGetDepth(pix)) {
        case 1:
            return pixCopy(nullptr, pix);
        case 8:
            return pixThresholdToBinary(pix, 250);
        case 32: {
            Pix* grey = pixConvertRGBToLuminance(pix);
            Pix* mask = pixThresholdToBinary(grey, 250);
            pixDestroy(&grey);
            return mask;
        }
        default:
            throw std::invalid_argument("synthpage: unsupported depth");
    }
}

bool BoxIsClear(Pix* occupied, int x, int y, int size) {
    const l_uint32* data = pixGetData(occupied);
    const int wpl = pixGetWpl(occupied);
    for (int j = y; j < y + size; ++j) {
        const l_uint32* line = data + j * wpl;
        for (int i = x; i < x + size; ++i) {
            if (GET_DATA_BIT(line, i)) return false;
        }
    }
    return true;
}

int DrawSpeck(Pix* pix, int x, int y, int size, SpeckShape shape) {
    const l_uint32 black = BlackValue(pix);
    if (shape == SpeckShape::Square) {
        SetRect(pix, {x, y, size, size}, black);
        return size * size;
    }
    const double r = size / 2.0;
    int area = 0;
    for (int j = 0; j < size; ++j) {
        for (int i = 0; i < size; ++i) {
            const double dx = i + 0.5 - r;
            const double dy = j + 0.5 - r;
            if (dx * dx + dy * dy <= r * r) {
                pixSetPixel(pix, x + i, y + j, black);
                ++area;
            }
        }
    }
    return area;
}

std::uint8_t ClampByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

Pix* PageDefects::Skew(Pix* pix, double degrees, bool sampling) {
    const float radians = static_cast<float>(degrees * std::numbers::pi / 180.0);
    Pix* out = nullptr;
    if (degrees == 0.0) {
        out = pixCopy(nullptr, pix);
    } else if (pixGetDepth(pix) == 8 && !sampling) {
        out = pixRotateAMGray(pix, radians, 255);
    } else if (pixGetDepth(pix) == 32 && !sampling) {
        out = pixRotateAMColor(pix, radians, 0xffffff00);
    } else {
        out = pixRotateBySampling(pix, pixGetWidth(pix) / 2, pixGetHeight(pix) / 2, radians, L_BRING_IN_WHITE);
    }
    if (out == nullptr) throw std::runtime_error("synthpage: rotation failed");
    pixCopyResolution(out, pix);
    return out;
}

void PageDefects::DrawRule(Pix* pix, const RuleLine& rule) { SetRect(pix, rule.Bounds(), BlackValue(pix)); }

void PageDefects::FillShade(Pix* pix, const ShadedBox& shade) {
    Rect r = shade.rect;
    if (!ClipToImage(pix, r)) return;
    const int depth = pixGetDepth(pix);
    if (depth == 1) {
        Pix* patch = pixCreate(r.w, r.h, 8);
        pixSetAllArbitrary(patch, static_cast<l_uint32>(std::clamp(shade.level, 0, 255)));
        Pix* dots = pixDitherToBinary(patch);
        pixRasterop(pix, r.x, r.y, r.w, r.h, PIX_SRC | PIX_DST, dots, 0, 0);
        pixDestroy(&dots);
        pixDestroy(&patch);
        return;
    }
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    const l_uint32 level = static_cast<l_uint32>(std::clamp(shade.level, 0, 255));
    const l_uint32 colour = (shade.color & 0xffffffu) << 8;
    for (int y = r.y; y < r.Bottom(); ++y) {
        l_uint32* line = data + y * wpl;
        for (int x = r.x; x < r.Right(); ++x) {
            if (depth == 8) {
                if (GET_DATA_BYTE(line, x) == 255) SET_DATA_BYTE(line, x, level);
            } else if ((line[x] & 0xffffff00u) == 0xffffff00u) {
                line[x] = colour;
            }
        }
    }
}

void PageDefects::AddBorder(Pix* pix, const Border& border) {
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    const l_uint32 black = BlackValue(pix);
    SetRect(pix, {0, 0, border.left, h}, black);
    SetRect(pix, {0, 0, w, border.top}, black);
    SetRect(pix, {w - border.right, 0, border.right, h}, black);
    SetRect(pix, {0, h - border.bottom, w, border.bottom}, black);
}

std::vector<Speck> PageDefects::AddSpecks(Pix* pix, const SpeckOptions& options, const Border& keepOut) {
    std::vector<Speck> placed;
    if (options.count <= 0 || options.sizes.empty()) return placed;
    int clearance = options.clearance;
    if (clearance <= 0) {
        const int largest = *std::max_element(options.sizes.begin(), options.sizes.end());
        clearance = std::max(6, 2 * largest);
    }
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);

    Pix* ink = InkMask(pix);
    Pix* occupied = pixDilateBrick(nullptr, ink, 2 * clearance + 1, 2 * clearance + 1);
    pixDestroy(&ink);
    const Border grown{keepOut.left + clearance, keepOut.top + clearance, keepOut.right + clearance,
                       keepOut.bottom + clearance};
    AddBorder(occupied, grown);

    Random random(0x5eedULL * 1000003ULL + options.seed);
    constexpr int kTriesPerSpeck = 5000;
    for (int i = 0; i < options.count; ++i) {
        const int size = options.sizes[static_cast<std::size_t>(i) % options.sizes.size()];
        if (size <= 0 || size >= w || size >= h) continue;
        for (int attempt = 0; attempt < kTriesPerSpeck; ++attempt) {
            const int x = random.Below(w - size + 1);
            const int y = random.Below(h - size + 1);
            if (!BoxIsClear(occupied, x, y, size)) continue;
            const int area = DrawSpeck(pix, x, y, size, options.shape);
            placed.push_back({{x, y, size, size}, size, area});
            SetRect(occupied, {x - clearance, y - clearance, size + 2 * clearance, size + 2 * clearance}, 1);
            break;
        }
    }
    pixDestroy(&occupied);
    return placed;
}

Pix* PageDefects::Blur(Pix* pix, int halfWidth) {
    Pix* out = halfWidth > 0 ? pixBlockconv(pix, halfWidth, halfWidth) : pixCopy(nullptr, pix);
    if (out == nullptr) throw std::runtime_error("synthpage: blur failed");
    pixCopyResolution(out, pix);
    return out;
}

void PageDefects::AddNoise(Pix* pix, double sigma, std::uint32_t seed) {
    if (sigma <= 0.0) return;
    // The sum of three uniforms on [-1, 1) has unit variance and looks Gaussian enough for a scan.
    Random random(0x0153ULL * 1000003ULL + seed);
    auto noise = [&] { return sigma * (random.Symmetric() + random.Symmetric() + random.Symmetric()); };
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    const int depth = pixGetDepth(pix);
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            if (depth == 8) {
                SET_DATA_BYTE(line, x, ClampByte(GET_DATA_BYTE(line, x) + noise()));
            } else if (depth == 32) {
                l_int32 r, g, b;
                extractRGBValues(line[x], &r, &g, &b);
                composeRGBPixel(ClampByte(r + noise()), ClampByte(g + noise()), ClampByte(b + noise()), &line[x]);
            }
        }
    }
}

void PageDefects::Tint(Pix* pix, std::uint32_t rgb) {
    const int tr = static_cast<int>((rgb >> 16) & 0xff);
    const int tg = static_cast<int>((rgb >> 8) & 0xff);
    const int tb = static_cast<int>(rgb & 0xff);
    if (tr == 255 && tg == 255 && tb == 255) return;
    const int grey = (299 * tr + 587 * tg + 114 * tb + 500) / 1000;
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    const int depth = pixGetDepth(pix);
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            if (depth == 8) {
                SET_DATA_BYTE(line, x, GET_DATA_BYTE(line, x) * grey / 255);
            } else if (depth == 32) {
                l_int32 r, g, b;
                extractRGBValues(line[x], &r, &g, &b);
                composeRGBPixel(r * tr / 255, g * tg / 255, b * tb / 255, &line[x]);
            }
        }
    }
}

Pix* PageDefects::Binarize(Pix* grey, Pix* ditherMask) {
    Pix* out = pixThresholdToBinary(grey, 128);
    if (out == nullptr) throw std::runtime_error("synthpage: threshold failed");
    if (ditherMask != nullptr) {
        Pix* dots = pixDitherToBinary(grey);
        pixCombineMasked(out, dots, ditherMask);
        pixDestroy(&dots);
    }
    pixCopyResolution(out, grey);
    return out;
}

}  // namespace leafmend::synthpage
