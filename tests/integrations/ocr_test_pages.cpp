// ocr_test_pages DIR [DPI]: renders the three scanned letter pages the OCRmyPDF end-to-end test feeds
// through OCR (a skewed page with dust, a page with a dark scanner border, a ruled form) as 1-bit PNGs
// DIR/page-1.png .. page-3.png, each with the exact text it shows, line by line, in DIR/page-N.txt.
// Cost: three page renders; well under a second at 200 dpi.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/synthpage/PageDefects.h"
#include "tools/synthpage/SyntheticPage.h"

namespace {

namespace fs = std::filesystem;
using namespace leafmend::synthpage;

// Paragraphs of the built-in text, picked so that no two pages share a paragraph.
std::vector<std::string> Paragraphs(std::initializer_list<int> picks) {
    std::vector<std::string> out;
    for (int i : picks) out.push_back(SyntheticPage::BuiltInParagraphs().at(i));
    return out;
}

PageOptions Base(int dpi, std::string heading, std::initializer_list<int> picks) {
    PageOptions o = PageOptions::Letter(dpi);
    o.depth = 1;
    o.fontPoints = 12.0;
    o.headingPoints = 18.0;
    o.heading = std::move(heading);
    o.paragraphs = Paragraphs(picks);
    o.fillPage = false;
    o.justify = false;
    return o;
}

std::vector<PageOptions> Pages(int dpi) {
    std::vector<PageOptions> pages;

    // Fed in at an angle, with dust: the skew scrambles the order of lines for OCR.
    PageOptions skewed = Base(dpi, "Survey of the Lower River", {0, 1});
    skewed.skewDegrees = 3.0;
    skewed.specks.count = 400;
    skewed.specks.sizes = {1, 2, 2, 3};
    skewed.specks.seed = 21;
    pages.push_back(skewed);

    // A dark strip where the lid did not cover the page, a small skew and dust.
    PageOptions border = Base(dpi, "The Old Ford below the Mill", {2, 3});
    border.skewDegrees = -1.5;
    border.border = {dpi / 4, dpi / 5, 0, dpi / 3};
    border.specks.count = 300;
    border.specks.sizes = {1, 2, 3};
    border.specks.seed = 22;
    pages.push_back(border);

    // A form: every text line sits on a rule, with a frame around the text area.
    PageOptions form = Base(dpi, "Record of Levels", {4, 5});
    form.skewDegrees = 1.0;
    form.specks.count = 200;
    form.specks.sizes = {1, 2};
    form.specks.seed = 23;
    pages.push_back(form);
    return pages;
}

// The form page: a rule between every two text lines and a frame around the text, drawn on the
// upright page (the text flow would step around rules given to the renderer), then the skew and the
// dust as the scanner adds them.
Pix* RenderForm(const PageOptions& options, GroundTruth& truth) {
    PageOptions upright = options;
    upright.skewDegrees = 0.0;
    upright.specks.count = 0;
    Pix* page = RenderPage(upright, &truth);
    const int thickness = std::max(1, options.dpi / 100);
    const Rect area = truth.textArea;
    const auto& lines = truth.lines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int gap = i + 1 < lines.size() ? lines[i + 1].box.y - lines[i].box.Bottom() : thickness * 6;
        const int y = lines[i].box.Bottom() + std::max(1, gap / 2 - thickness / 2);
        PageDefects::DrawRule(page, RuleLine::Horizontal(y, area.x, area.Right(), thickness));
    }
    const int pad = options.dpi / 10;
    const int top = lines.front().box.y - pad;
    const int bottom = lines.back().box.Bottom() + pad;
    const int frame = thickness * 2;
    PageDefects::DrawRule(page, RuleLine::Horizontal(top, area.x - pad, area.Right() + pad, frame));
    PageDefects::DrawRule(page, RuleLine::Horizontal(bottom, area.x - pad, area.Right() + pad + frame, frame));
    PageDefects::DrawRule(page, RuleLine::Vertical(area.x - pad, top, bottom, frame));
    PageDefects::DrawRule(page, RuleLine::Vertical(area.Right() + pad, top, bottom, frame));
    Pix* skewed = PageDefects::Skew(page, options.skewDegrees);
    pixDestroy(&page);
    PageDefects::AddSpecks(skewed, options.specks, Border{});
    return skewed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: ocr_test_pages DIR [DPI]\n";
        return 2;
    }
    try {
        const fs::path dir = argv[1];
        const int dpi = argc == 3 ? std::stoi(argv[2]) : 200;
        if (dpi < 100 || dpi > 600) throw std::invalid_argument("DPI must be 100 to 600");
        fs::create_directories(dir);
        const std::vector<PageOptions> pages = Pages(dpi);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            GroundTruth truth;
            Pix* pix = i + 1 == pages.size() ? RenderForm(pages[i], truth) : RenderPage(pages[i], &truth);
            const std::string stem = (dir / ("page-" + std::to_string(i + 1))).string();
            const bool written = pixWrite((stem + ".png").c_str(), pix, IFF_PNG) == 0;
            pixDestroy(&pix);
            if (!written) throw std::runtime_error("cannot write " + stem + ".png");
            std::ofstream text(stem + ".txt");
            for (const TextLine& line : truth.lines) text << line.text << '\n';
            if (!text.flush()) throw std::runtime_error("cannot write " + stem + ".txt");
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "ocr_test_pages: " << e.what() << '\n';
        return 1;
    }
}
