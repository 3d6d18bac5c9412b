// SkewSet: a varied set of skewed test pages with known skew, for measuring
// how well a deskew finds the angle. Classes: plain text in several sizes, two
// columns, sparse pages, ruled tables and forms, underlined text, halftone
// figures, photographed pages with dark surroundings and uneven light, book
// scans with a gutter shadow; 72 to 600 dpi; 1-bit, grey and colour; skews from
// -15 to +15 degrees and exactly 0. Every page is deterministic for its case.
// Cost: one synthetic page plus one rotation, 0.05 s (150 dpi) to ~1 s (600 dpi colour).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Pix;

namespace leafmend::skewset {

enum class PageClass { Text, TwoColumns, Sparse, Table, Underlined, Halftone, Photo, Gutter };

struct SkewCase {
    PageClass pageClass = PageClass::Text;
    int dpi = 150;           // resolution the page is drawn at
    int taggedDpi = 150;     // resolution written into the image (a camera says 72)
    int depth = 1;           // 1, 8 or 32
    double skew = 0.0;       // degrees, positive = content turned clockwise
    double fontPoints = 10;  // body text size
    std::uint32_t seed = 1;

    std::string Name() const;  // "photo-32bpp-150dpi-10pt+2.25" and so on
};

const char* ClassName(PageClass pageClass);
std::vector<PageClass> AllClasses();

// Every case of the accuracy table (a few hundred pages).
std::vector<SkewCase> FullSet();
// A handful of small, quick cases covering every class, for unit tests.
std::vector<SkewCase> QuickSet();

// Draws the case's page; the caller destroys it. Throws std::runtime_error.
Pix* RenderCase(const SkewCase& c);

}  // namespace leafmend::skewset
