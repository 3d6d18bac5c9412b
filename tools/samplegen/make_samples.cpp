// make_samples DIR: renders the bundled synthetic sample pages into DIR and writes DIR/README.md
// with each file's size, resolution and the exact defects drawn (the ground truth).
// Cost: a few 150-dpi pages; well under a second.
#include <leptonica/allheaders.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/synthpage/SyntheticPage.h"

namespace {

namespace fs = std::filesystem;
using namespace leafmend::synthpage;

struct Sample {
    std::string file;
    std::string summary;
    bool tiff = false;  // G4 TIFF (all pages 1-bit) or PNG (one page)
    std::vector<PageOptions> pages;
    // Drawn on the first page after rendering; describes what it drew.
    std::function<void(Pix*, std::ostream&)> extra;
};

// Handwriting-like strokes on form lines: each "word" is a run of loops of a
// 2-pixel pen sitting on its rule, whose descending loops cross it.
void WriteOnRules(Pix* pix, const std::vector<int>& rules, std::ostream& md) {
    md << "- handwriting-like strokes (2-pixel pen), one word per rule; x range, loops, rows reached:";
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const int baseline = rules[i];
        const int x0 = 260 + static_cast<int>(i % 3) * 60;
        const int loops = 5 + static_cast<int>(i % 4) * 2;
        const double pitch = 26.0;
        Pta* path = ptaCreate(0);
        int top = baseline;
        int bottom = baseline;
        for (int step = 0; step <= loops * 24; ++step) {
            const double t = step / 24.0;  // one loop per unit
            const double phase = 2.0 * M_PI * t;
            // Every other loop descends through the rule.
            const double depth = static_cast<int>(t) % 2 == 1 ? 18.0 : 3.0;
            const double c = std::cos(phase);
            const double x = x0 + pitch * t + 10.0 * std::sin(phase);
            const double y = baseline - 14.0 - 14.0 * c + (c < 0 ? -depth * c : 0.0);
            ptaAddPt(path, static_cast<float>(x), static_cast<float>(y));
            top = std::min(top, static_cast<int>(y));
            bottom = std::max(bottom, static_cast<int>(y));
        }
        pixRenderPolyline(pix, path, 2, L_SET_PIXELS, 0);
        ptaDestroy(&path);
        md << " (" << x0 - 10 << ".." << static_cast<int>(x0 + pitch * loops + 10) << ", " << loops << ", " << top
           << ".." << bottom << ")";
    }
    md << "\n";
}

std::string Hex(std::uint32_t rgb) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%06x", rgb & 0xffffffu);
    return buf;
}

std::string RectText(const Rect& r) {
    std::ostringstream s;
    s << "x " << r.x << ", y " << r.y << ", w " << r.w << ", h " << r.h;
    return s.str();
}

std::vector<Sample> Samples() {
    std::vector<Sample> samples;

    PageOptions skewed = PageOptions::Letter(150);
    skewed.heading = "Survey of the Lower River";
    skewed.skewDegrees = 2.5;
    skewed.specks.count = 30;
    skewed.specks.sizes = {2, 3, 4, 5};
    skewed.specks.seed = 11;
    samples.push_back(
        {"skewed_specks.tif", "1-bit G4 TIFF: text skewed 2.5 degrees, with square specks", true, {skewed}});

    PageOptions grey = PageOptions::A5(150);
    grey.depth = 8;
    grey.heading = "Notes on Method";
    grey.paragraphs = {SyntheticPage::BuiltInParagraphs()[3], SyntheticPage::BuiltInParagraphs()[6]};
    grey.rules = {RuleLine::Horizontal(600, 112, 762, 3)};
    grey.border = {40, 28, 0, 0};
    grey.blur = 1;
    samples.push_back({"grey_border_rule.png",
                       "8-bit grey PNG: black border on the left and top, one horizontal rule",
                       false,
                       {grey}});

    PageOptions colour = PageOptions::A5(150);
    colour.depth = 32;
    colour.heading = "Levels at the Mill Gauge";
    colour.skewDegrees = -1.0;
    colour.sampledSkew = true;  // keeps the PNG near 100 KB; the blur softens the steps
    colour.shade = ShadedBox{{150, 420, 574, 260}, 200, 0xc8d8ec};
    colour.paperColor = 0xfaf5e8;
    colour.blur = 1;
    samples.push_back({"colour_shade.png",
                       "24-bit colour PNG: blue heading, tinted paper, shaded box, skew -1 degree",
                       false,
                       {colour}});

    PageOptions p1 = PageOptions::A5(150);
    p1.heading = "From the Field Book";
    p1.skewDegrees = -1.5;
    p1.specks = {24, {3, 5, 7}, SpeckShape::Round, 0, 21};
    PageOptions p2 = PageOptions::A5(150);
    p2.columns = 2;
    p2.gutter = 50;
    p2.paragraphs = {SyntheticPage::BuiltInParagraphs()[1], SyntheticPage::BuiltInParagraphs()[4]};
    p2.rules = {RuleLine::Vertical(436, 140, 1100, 2), RuleLine::Horizontal(560, 112, 762, 4)};
    p2.border = {0, 0, 36, 24};
    PageOptions p3 = PageOptions::A5(150);
    p3.heading = "Table of Levels";
    p3.skewDegrees = 0.8;
    p3.shade = ShadedBox{{180, 420, 514, 200}, 200, 0xc8d2e0};
    p3.specks = {12, {2}, SpeckShape::Square, 0, 31};
    samples.push_back({"multipage.tif", "3-page 1-bit G4 TIFF, different defects on each page", true, {p1, p2, p3}});

    PageOptions form = PageOptions::A5(150);
    form.heading = "Field Record";
    form.paragraphs = {"Write each reading on its own line, in ink, and sign the sheet at the foot."};
    form.fillPage = false;
    std::vector<int> formRows;
    for (int i = 0; i < 10; ++i) {
        const int row = 330 + 80 * i;
        formRows.push_back(row);
        form.rules.push_back(RuleLine::Horizontal(row, 112, 762, 2 + i % 2));
    }
    samples.push_back({"form_handwriting.tif",
                       "1-bit G4 TIFF: a form with ten ruled lines (2 and 3 pixels) and handwriting-like strokes "
                       "crossing them",
                       true,
                       {form},
                       [formRows](Pix* pix, std::ostream& md) { WriteOnRules(pix, formRows, md); }});
    return samples;
}

void Describe(std::ostream& md, int pageNumber, const PageOptions& o, const GroundTruth& gt) {
    if (pageNumber > 0) md << "\n**Page " << pageNumber << "**\n\n";
    md << "- " << gt.width << " x " << gt.height << " px, " << gt.dpi << " dpi, " << gt.depth << "-bit\n";
    md << "- text: " << gt.lines.size() << " lines, Leptonica bitmap font size " << gt.fontSize;
    if (!o.heading.empty()) md << ", heading \"" << o.heading << "\" (font size " << gt.headingFontSize << ")";
    md << ", " << o.columns << " column(s), text area " << RectText(gt.textArea) << "\n";
    if (gt.skewDegrees != 0.0)
        md << "- skew: " << gt.skewDegrees << " degrees (positive = clockwise) about the page centre\n";
    else
        md << "- skew: none\n";
    for (const RuleLine& r : gt.rules) {
        const bool h = r.orientation == RuleOrientation::Horizontal;
        md << "- " << (h ? "horizontal" : "vertical") << " rule: " << (h ? "rows " : "columns ") << r.position << ".."
           << r.position + r.thickness - 1 << " (thickness " << r.thickness << "), " << (h ? "columns " : "rows ")
           << r.start << ".." << r.end - 1 << "\n";
    }
    if (gt.shade) {
        md << "- shaded box: " << RectText(gt.shade->rect) << ", ";
        if (gt.depth == 1)
            md << "grey level " << gt.shade->level << " dithered\n";
        else if (gt.depth == 8)
            md << "grey level " << gt.shade->level << "\n";
        else
            md << "colour " << Hex(gt.shade->color) << "\n";
    }
    if (gt.border.Any()) {
        md << "- black border: left " << gt.border.left << ", top " << gt.border.top << ", right " << gt.border.right
           << ", bottom " << gt.border.bottom << " px\n";
    }
    if (gt.depth == 32)
        md << "- paper tint " << Hex(o.paperColor) << ", heading colour " << Hex(o.headingColor) << "\n";
    if (gt.depth != 1 && o.blur > 0) md << "- scanner softness: box blur of half-width " << o.blur << "\n";
    if (!gt.specks.empty()) {
        md << "- " << gt.specks.size() << " " << (o.specks.shape == SpeckShape::Round ? "round" : "square")
           << " specks (x, y, size, black pixels):";
        for (const Speck& s : gt.specks)
            md << " (" << s.box.x << ", " << s.box.y << ", " << s.size << ", " << s.area << ")";
        md << "\n";
    }
}

int Run(const fs::path& dir) {
    fs::create_directories(dir);
    std::ostringstream body;
    for (const Sample& sample : Samples()) {
        const fs::path path = dir / sample.file;
        std::vector<GroundTruth> truths;
        std::ostringstream extraText;
        for (std::size_t i = 0; i < sample.pages.size(); ++i) {
            GroundTruth gt;
            PixPtr pix(RenderPage(sample.pages[i], &gt));
            if (i == 0 && sample.extra) sample.extra(pix.get(), extraText);
            const int rc = sample.tiff ? pixWriteTiff(path.c_str(), pix.get(), IFF_TIFF_G4, i == 0 ? "w" : "a")
                                       : pixWrite(path.c_str(), pix.get(), IFF_PNG);
            if (rc != 0) {
                std::cerr << "make_samples: cannot write " << path << "\n";
                return 1;
            }
            truths.push_back(std::move(gt));
        }
        body << "\n## " << sample.file << "\n\n"
             << sample.summary << ". " << fs::file_size(path) << " bytes, " << sample.pages.size() << " page(s).\n\n";
        for (std::size_t i = 0; i < truths.size(); ++i) {
            Describe(body, truths.size() > 1 ? static_cast<int>(i) + 1 : 0, sample.pages[i], truths[i]);
            if (i == 0) body << extraText.str();
        }
        std::cout << path.string() << " " << fs::file_size(path) << " bytes\n";
    }
    std::ofstream md(dir / "README.md");
    md << "# Sample pages\n\n"
          "Synthetic scanned pages with known defects, made by `tools/synthpage` (regenerate with\n"
          "`tools/make-samples`, or `build/bin/make_samples samples` from the repository root; the output\n"
          "is deterministic). Coordinates are in pixels from the top-left corner. Text, rules and shaded\n"
          "boxes are given on the upright page, before the skew; specks and borders were added after the\n"
          "skew and are given in image coordinates. The text is set in Leptonica's bitmap font.\n"
       << body.str();
    return md ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_samples OUTPUT_DIR\n";
        return 2;
    }
    try {
        return Run(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "make_samples: " << e.what() << "\n";
        return 1;
    }
}
