// SkewSet: draws each case upright with the synthetic page generator, adds
// what its class needs (rules, underlines, a figure, a gutter, a dark
// surround), turns the whole by the case's skew and brings it to its depth.
#include "tools/skewset/SkewSet.h"

#include "tools/synthpage/PageDefects.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace leafmend::skewset {
namespace {

using synthpage::PageDefects;
using synthpage::PageOptions;
using synthpage::RuleLine;

struct Owned {
    Pix* pix = nullptr;
    explicit Owned(Pix* p) : pix(p) {
        if (!p) throw std::runtime_error("skewset: Leptonica failed");
    }
    ~Owned() { pixDestroy(&pix); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Pix* release() { return std::exchange(pix, nullptr); }
};

constexpr int kSurround = 38;  // grey level of the table a photographed page lies on

// Multiplies every grey level by `factor(x, y)` (0..1).
template <class Factor>
void Darken(Pix* grey, Factor&& factor) {
    const int w = pixGetWidth(grey), h = pixGetHeight(grey), wpl = pixGetWpl(grey);
    l_uint32* data = pixGetData(grey);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = 0; x < w; ++x) {
            const double f = std::clamp(factor(x, y), 0.0, 1.0);
            SET_DATA_BYTE(line, x, static_cast<int>(GET_DATA_BYTE(line, x) * f + 0.5));
        }
    }
}

// A photograph-like figure: smooth blobs of every tone.
void PaintFigure(Pix* grey, int x0, int y0, int fw, int fh) {
    const int wpl = pixGetWpl(grey);
    l_uint32* data = pixGetData(grey);
    for (int y = y0; y < y0 + fh && y < pixGetHeight(grey); ++y) {
        l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wpl;
        for (int x = x0; x < x0 + fw && x < pixGetWidth(grey); ++x) {
            const double u = static_cast<double>(x - x0) / fw, v = static_cast<double>(y - y0) / fh;
            const double tone =
                128 + 90 * std::sin(u * 7.0 + v * 2.0) * std::cos(v * 5.0 - u) + 30 * std::sin(u * 23.0);
            SET_DATA_BYTE(line, x, std::clamp(static_cast<int>(tone), 0, 255));
        }
    }
}

std::string SparseText() {
    return "Received with thanks the sum stated below for goods delivered to the north gate on Tuesday, "
           "counted and signed for by the porter on duty.";
}

}  // namespace

const char* ClassName(PageClass pageClass) {
    switch (pageClass) {
        case PageClass::Text:
            return "text";
        case PageClass::TwoColumns:
            return "two-column";
        case PageClass::Sparse:
            return "sparse";
        case PageClass::Table:
            return "table";
        case PageClass::Underlined:
            return "underlined";
        case PageClass::Halftone:
            return "halftone";
        case PageClass::Photo:
            return "photo";
        case PageClass::Gutter:
            return "gutter";
    }
    return "?";
}

std::vector<PageClass> AllClasses() {
    return {PageClass::Text,       PageClass::TwoColumns, PageClass::Sparse, PageClass::Table,
            PageClass::Underlined, PageClass::Halftone,   PageClass::Photo,  PageClass::Gutter};
}

std::string SkewCase::Name() const {
    char text[128];
    std::snprintf(text, sizeof text, "%s-%dbpp-%ddpi-%gpt%+.2f", ClassName(pageClass), depth, taggedDpi, fontPoints,
                  skew);
    return text;
}

std::vector<SkewCase> FullSet() {
    const double skews[] = {0.0, 0.3, -0.6, 1.0, -1.5, 2.25, -3.0, 4.5, -6.0, 8.0, -10.5, 15.0, -15.0};
    struct Kind {
        int dpi, depth;
        double points;
    };
    const Kind kinds[] = {{72, 8, 12}, {150, 1, 10}, {200, 32, 9},  {300, 1, 10},
                          {300, 8, 8}, {600, 1, 11}, {100, 32, 14}, {400, 8, 10}};
    constexpr int kKinds = static_cast<int>(std::size(kinds));
    std::vector<SkewCase> cases;
    std::uint32_t seed = 1;
    int classIndex = 0;
    for (const PageClass pageClass : AllClasses()) {
        for (int s = 0; s < static_cast<int>(std::size(skews)); ++s) {
            for (int k = 0; k < 3; ++k) {
                const Kind& kind = kinds[(s + 3 * k + classIndex) % kKinds];
                SkewCase c;
                c.pageClass = pageClass;
                c.dpi = kind.dpi;
                c.taggedDpi = kind.dpi;
                c.depth = kind.depth;
                c.fontPoints = kind.points;
                c.skew = skews[s];
                c.seed = seed++;
                if (pageClass == PageClass::Photo) {
                    // A camera's picture: drawn at 100 to 200 dpi, tagged 72, never 1-bit.
                    c.dpi = std::clamp(kind.dpi, 100, 200);
                    c.taggedDpi = 72;
                    if (c.depth == 1) c.depth = 32;
                }
                cases.push_back(c);
            }
        }
        ++classIndex;
    }
    return cases;
}

std::vector<SkewCase> QuickSet() {
    std::vector<SkewCase> cases;
    const double skews[] = {2.25, 0.0, -1.97, 6.5, -0.66, 12.0, 1.1, -4.0};
    const int depths[] = {1, 8, 32, 1, 8, 32, 8, 1};
    int i = 0;
    for (const PageClass pageClass : AllClasses()) {
        SkewCase c;
        c.pageClass = pageClass;
        c.dpi = pageClass == PageClass::Photo ? 100 : 100;
        c.taggedDpi = pageClass == PageClass::Photo ? 72 : 100;
        c.depth = pageClass == PageClass::Photo ? 32 : depths[i];
        c.fontPoints = 12;
        c.skew = skews[i];
        c.seed = static_cast<std::uint32_t>(100 + i);
        cases.push_back(c);
        ++i;
    }
    return cases;
}

Pix* RenderCase(const SkewCase& c) {
    PageOptions o = c.dpi >= 400 ? PageOptions::A5(c.dpi) : PageOptions::A4(c.dpi);
    o.depth = 8;
    o.fontPoints = c.fontPoints;
    o.headingPoints = c.fontPoints * 1.6;
    o.heading = "Quarterly notes";
    o.noiseSeed = c.seed;
    const int rule = std::max(1, c.dpi / 100);
    switch (c.pageClass) {
        case PageClass::TwoColumns:
            o.columns = 2;
            break;
        case PageClass::Sparse:
            o.fillPage = false;
            o.paragraphs = {SparseText()};
            o.marginTop = c.dpi * 2;
            break;
        case PageClass::Table: {
            // A form: a ruled grid over the lower two thirds, ruled boxes above.
            const int left = c.dpi * 3 / 4, right = o.width - c.dpi * 3 / 4;
            for (int y = o.height / 3; y < o.height - c.dpi; y += c.dpi / 2)
                o.rules.push_back(RuleLine::Horizontal(y, left, right, rule));
            for (int i = 0; i <= 4; ++i)
                o.rules.push_back(RuleLine::Vertical(left + (right - left) * i / 4 - (i == 4 ? rule : 0), o.height / 3,
                                                     o.height - c.dpi - c.dpi / 2 + rule, rule));
            break;
        }
        default:
            break;
    }
    synthpage::GroundTruth truth;
    Owned page(synthpage::RenderPage(o, &truth));
    const int w = pixGetWidth(page.pix), h = pixGetHeight(page.pix);

    std::unique_ptr<Pix, void (*)(Pix*)> figureMask(nullptr, [](Pix* p) { pixDestroy(&p); });
    if (c.pageClass == PageClass::Underlined) {
        for (const synthpage::TextLine& line : truth.lines)
            PageDefects::DrawRule(page.pix,
                                  RuleLine::Horizontal(line.box.Bottom() + rule, line.box.x, line.box.Right(), rule));
    } else if (c.pageClass == PageClass::Halftone) {
        const int fx = w / 5, fy = h / 4, fw = w * 3 / 5, fh = h / 4;
        PaintFigure(page.pix, fx, fy, fw, fh);
        Pix* mask = pixCreate(w, h, 1);
        pixRasterop(mask, fx, fy, fw, fh, PIX_SET, nullptr, 0, 0);
        figureMask.reset(mask);
    } else if (c.pageClass == PageClass::Gutter) {
        // The fold of a bound book: dark at the left edge, fading over an inch.
        const double reach = c.dpi;
        Darken(page.pix, [&](int x, int) { return x < reach ? 0.2 + 0.8 * std::pow(x / reach, 0.6) : 1.0; });
    }

    const double radians = c.skew * std::numbers::pi / 180.0;
    Pix* turned = nullptr;
    if (c.pageClass == PageClass::Photo) {
        // The sheet lies turned on a dark table; the light falls off to one corner
        // and the spine throws a shadow along the right.
        const int margin = w / 10;
        Owned padded(pixAddBorderGeneral(page.pix, margin, margin, margin, margin, kSurround));
        Owned photo(pixRotateAMGray(padded.pix, static_cast<l_float32>(radians), kSurround));
        const int pw = pixGetWidth(photo.pix), ph = pixGetHeight(photo.pix);
        // Deep enough that the paper in the far corner and under the shadow
        // falls below mid-grey.
        Darken(photo.pix, [&](int x, int y) {
            const double fall = 1.0 - 0.55 * (static_cast<double>(x) / pw) * (static_cast<double>(y) / ph);
            const double edge = pw - margin * 2.5;
            const double shadow = x > edge ? std::max(0.25, 1.0 - (x - edge) / (margin * 2.0)) : 1.0;
            return fall * shadow;
        });
        turned = photo.release();
    } else {
        turned = c.skew == 0.0 ? pixCopy(nullptr, page.pix)
                               : pixRotateAMGray(page.pix, static_cast<l_float32>(radians), 255);
    }
    Owned grey(turned);
    if (figureMask && c.skew != 0.0) {
        figureMask.reset(
            pixRotate(figureMask.get(), static_cast<l_float32>(radians), L_ROTATE_SAMPLING, L_BRING_IN_WHITE, 0, 0));
    }

    Pix* result = nullptr;
    if (c.depth == 1) {
        result = PageDefects::Binarize(grey.pix, figureMask.get());
    } else {
        PageDefects::AddNoise(grey.pix, c.pageClass == PageClass::Photo ? 6.0 : 2.0, c.seed);
        if (c.depth == 8) {
            result = grey.release();
        } else {
            result = pixConvert8To32(grey.pix);
            if (!result) throw std::runtime_error("skewset: colour conversion failed");
            PageDefects::Tint(result, c.pageClass == PageClass::Photo ? 0xf2e6cc : 0xfffaf0);
        }
    }
    pixSetResolution(result, c.taggedDpi, c.taggedDpi);
    return result;
}

}  // namespace leafmend::skewset
