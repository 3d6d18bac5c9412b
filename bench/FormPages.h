// Synthetic 1-bit form pages for line removal, with ground truth: text
// rendered by synthpage, and horizontal rules of known thickness and slope
// drawn across its lines (through the lower half of the letters, or just
// under them, touching the descenders). The page is text OR rules; the two
// masks say which pixel is which. Header-only; one A4 page at 300 dpi takes
// about 60 ms to build.
#pragma once

#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <cmath>
#include <vector>

namespace formpages {

struct Rule {
    int x0;
    int x1;  // exclusive
    int y;   // top row at x0
    int thickness;
    double degrees;  // positive: falls to the right (y grows)
};

struct FormPage {
    Pix* page = nullptr;   // 1-bit, 1 = black (Leptonica)
    Pix* text = nullptr;   // the characters alone
    Pix* rules = nullptr;  // the rules alone
    std::vector<Rule> drawn;
    ~FormPage() {
        pixDestroy(&page);
        pixDestroy(&text);
        pixDestroy(&rules);
    }
};

inline void DrawRule(Pix* pix, const Rule& r) {
    const double slope = std::tan(r.degrees * M_PI / 180.0);
    const int w = pixGetWidth(pix);
    const int h = pixGetHeight(pix);
    for (int x = r.x0; x < r.x1; ++x) {
        const int top = r.y + static_cast<int>(std::floor((x - r.x0) * slope + 0.5));
        for (int t = 0; t < r.thickness; ++t)
            if (x >= 0 && x < w && top + t >= 0 && top + t < h) pixSetPixel(pix, x, top + t, 1);
    }
}

// `count` rules over the text lines spread down an A4 page at `dpi`: the
// thickness cycles through `thicknesses`, the slope through `degrees`; every
// third rule runs just under its line, the others through it.
inline void Build(FormPage& form, int dpi, int count, const std::vector<int>& thicknesses,
                  const std::vector<double>& degrees, std::uint32_t seed = 1) {
    using namespace leafmend::synthpage;
    PageOptions options = PageOptions::A4(dpi);
    options.depth = 1;
    options.noiseSeed = seed;
    GroundTruth truth;
    form.text = RenderPage(options, &truth);
    const int w = pixGetWidth(form.text);
    const int h = pixGetHeight(form.text);
    form.rules = pixCreate(w, h, 1);
    pixCopyResolution(form.rules, form.text);
    std::vector<const TextLine*> body;
    for (const TextLine& line : truth.lines)
        if (!line.heading) body.push_back(&line);
    const std::size_t n = body.size();
    for (int i = 0; i < count && n > 0; ++i) {
        const TextLine& line = *body[(static_cast<std::size_t>(i) * n) / static_cast<std::size_t>(count)];
        Rule rule;
        rule.thickness = thicknesses[static_cast<std::size_t>(i) % thicknesses.size()];
        rule.degrees = degrees[static_cast<std::size_t>(i) % degrees.size()];
        rule.x0 = line.box.x - dpi / 10;
        rule.x1 = line.box.Right() + dpi / 10;
        const bool under = i % 3 == 2;
        const int mid = under ? line.box.Bottom() : line.box.y + line.box.h * 3 / 5;
        // Centre the slanted rule on its line.
        const double drop = std::tan(rule.degrees * M_PI / 180.0) * (rule.x1 - rule.x0);
        rule.y = mid - static_cast<int>(drop / 2);
        DrawRule(form.rules, rule);
        form.drawn.push_back(rule);
    }
    form.page = pixOr(nullptr, form.text, form.rules);
}

}  // namespace formpages
