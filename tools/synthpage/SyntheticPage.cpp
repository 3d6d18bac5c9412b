// SyntheticPage: lays out justified text with Leptonica's compiled-in bitmap fonts on an 8-bit (or
// 32-bit) canvas, applies the requested defects and records the ground truth. Cost: one pass per
// defect over the page plus a small scratch bitmap per text line.
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "tools/synthpage/PageDefects.h"

namespace leafmend::synthpage {
namespace {

const std::vector<std::string> kParagraphs = {
    "The survey of the lower river was begun in the spring, when the water was still high and the "
    "meadows on both banks lay under a thin sheet of flood. Our first task was to fix a line of marks "
    "along the eastern levee, each one driven into firm ground and measured from the church tower, so "
    "that every later sounding could be tied to a point that would not move with the season.",
    "Soundings were taken from a flat boat at intervals of twenty yards, the depth read from a weighted "
    "line and written at once into the field book together with the time and the bearing of the nearest "
    "mark. Where the bottom was soft the weight sank into the mud, and on those stretches we used a "
    "broad plate instead, which gave readings that agreed with one another to within an inch or two.",
    "By the middle of June the water had fallen enough to expose the old ford below the mill. Several "
    "of the older residents remembered carts crossing there before the weir was built, and the stones "
    "of the causeway could still be traced for some distance under the gravel. We recorded their "
    "position with care, since the ford marks the shallowest point of the channel in living memory.",
    "The rate of flow was measured with floats released from the bridge and timed over a course of one "
    "hundred yards. Surface floats alone give too high a figure, because the current near the bed is "
    "much slower than at the top, so each surface float was paired with a rod weighted to ride upright "
    "in the stream. The mean of the two was taken as the velocity of the whole section.",
    "It should be said that the figures for the autumn months are less complete than the others. Heavy "
    "rain in October raised the river by four feet in two days, the boat could not safely be used, and "
    "several of the marks on the western side were carried away. Those that survived were checked "
    "against the tower again in November and found to have kept their places.",
    "From these observations a plan of the channel was drawn at a scale of forty feet to the inch, with "
    "lines of equal depth at intervals of one foot. The plan shows plainly how the deep water swings "
    "from one bank to the other at each bend, and how the bars of sand and gravel build up on the inner "
    "side of every curve, narrowing the passage available to boats in a dry summer.",
    "We have added a short table of the levels read at the mill gauge each morning, and a note on the "
    "methods used, so that anyone repeating the work in later years may compare their results with "
    "ours. The field books themselves have been bound and placed with the parish records, where they "
    "may be consulted on application to the clerk.",
};

struct BmfDeleter {
    void operator()(L_BMF* bmf) const { bmfDestroy(&bmf); }
};
using BmfPtr = std::unique_ptr<L_BMF, BmfDeleter>;

BmfPtr LoadFont(int size) {
    BmfPtr bmf(bmfCreate(nullptr, size));
    if (!bmf) throw std::runtime_error("synthpage: Leptonica bitmap font could not be created");
    return bmf;
}

int StringWidth(L_BMF* bmf, const std::string& text) {
    l_int32 w = 0;
    bmfGetStringWidth(bmf, text.c_str(), &w);
    return w;
}

// Rows from the top of a line to its baseline: the tallest glyph above the baseline.
int Ascent(L_BMF* bmf) {
    int ascent = 0;
    for (int c = 33; c < 127; ++c) ascent = std::max(ascent, static_cast<int>(bmf->baselinetab[c]));
    return ascent;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

int Resolve(int value, int fallback) { return value < 0 ? fallback : value; }

// One wrapped line: its words and their x offsets from the line's left edge.
struct PlacedLine {
    std::vector<std::string> words;
    std::vector<int> xs;
};

// Greedy wrapping; lines other than a paragraph's last are justified when `justify` is set and the
// gaps stay reasonable. The first line is indented by `indent`.
std::vector<PlacedLine> WrapParagraph(L_BMF* bmf, const std::vector<std::string>& words, int width, int indent,
                                      bool justify, bool centre) {
    std::vector<PlacedLine> lines;
    const int space = bmf->spacewidth;
    std::size_t i = 0;
    while (i < words.size()) {
        const int start = lines.empty() ? indent : 0;
        const int avail = width - start;
        std::vector<int> widths{StringWidth(bmf, words[i])};
        int natural = widths.back();
        std::size_t j = i + 1;
        for (; j < words.size(); ++j) {
            const int w = StringWidth(bmf, words[j]);
            if (natural + space + w > avail) break;
            natural += space + w;
            widths.push_back(w);
        }
        const bool last = j == words.size();
        const int gaps = static_cast<int>(widths.size()) - 1;
        const int extra = avail - natural;
        const bool stretch = justify && !last && gaps > 0 && extra > 0 && extra <= gaps * space * 3;
        PlacedLine line;
        int x = centre ? start + std::max(0, extra / 2) : start;
        for (int k = 0; k <= gaps; ++k) {
            line.words.push_back(words[i + static_cast<std::size_t>(k)]);
            line.xs.push_back(x);
            x += widths[static_cast<std::size_t>(k)] + space;
            if (stretch && k < gaps) x += extra / gaps + (k < extra % gaps ? 1 : 0);
        }
        lines.push_back(std::move(line));
        i = j;
    }
    return lines;
}

// Flows lines down a sequence of column rectangles, stepping around horizontal rules.
class TextFlow {
public:
    TextFlow(std::vector<Rect> columns, const std::vector<RuleLine>& rules, int gap)
        : columns_(std::move(columns)), rules_(rules), gap_(gap), y_(columns_.front().y) {}

    // Finds room for a line `height` rows high; false when the last column is full.
    bool NextSlot(int height) {
        while (column_ < columns_.size()) {
            const Rect& col = columns_[column_];
            if (y_ + height > col.Bottom()) {
                if (++column_ < columns_.size()) y_ = columns_[column_].y;
                continue;
            }
            const Rect band{col.x, y_ - gap_, col.w, height + 2 * gap_};
            bool moved = false;
            for (const RuleLine& rule : rules_) {
                const Rect r = rule.Bounds();
                if (rule.orientation == RuleOrientation::Horizontal && r.Intersects(band)) {
                    y_ = r.Bottom() + gap_;
                    moved = true;
                }
            }
            if (!moved) return true;
        }
        return false;
    }

    const Rect& Column() const { return columns_[column_]; }
    int ColumnIndex() const { return static_cast<int>(column_); }
    int Y() const { return y_; }
    void Advance(int rows) { y_ += rows; }

private:
    std::vector<Rect> columns_;
    const std::vector<RuleLine>& rules_;
    int gap_;
    std::size_t column_ = 0;
    int y_;
};

// Draws one line into `canvas` with its top at `top`; returns the tight box of its ink.
Rect PaintLine(Pix* canvas, L_BMF* bmf, const PlacedLine& line, int left, int top, l_uint32 value) {
    const int lh = bmf->lineheight;
    const int width = line.xs.back() + StringWidth(bmf, line.words.back()) + 2;
    Pix* scratch = pixCreate(width, 2 * lh, 1);
    for (std::size_t k = 0; k < line.words.size(); ++k) {
        pixSetTextline(scratch, bmf, line.words[k].c_str(), 1, line.xs[k], lh, nullptr, nullptr);
    }
    const int dy = top + Ascent(bmf) - lh;
    pixPaintThroughMask(canvas, scratch, left, dy, value);
    BOX* box = nullptr;
    Rect ink;
    if (pixClipBoxToForeground(scratch, nullptr, nullptr, &box) == 0 && box != nullptr) {
        l_int32 bx, by, bw, bh;
        boxGetGeometry(box, &bx, &by, &bw, &bh);
        ink = {left + bx, dy + by, bw, bh};
        boxDestroy(&box);
    }
    pixDestroy(&scratch);
    return ink;
}

std::string Join(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

void Require(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("synthpage: ") + what);
}

}  // namespace

void PixDeleter::operator()(Pix* pix) const { pixDestroy(&pix); }

PageOptions PageOptions::A4(int dpi) {
    PageOptions o;
    o.dpi = dpi;
    o.width = static_cast<int>(std::lround(210.0 / 25.4 * dpi));
    o.height = static_cast<int>(std::lround(297.0 / 25.4 * dpi));
    return o;
}

PageOptions PageOptions::Letter(int dpi) {
    PageOptions o;
    o.dpi = dpi;
    o.width = static_cast<int>(std::lround(8.5 * dpi));
    o.height = 11 * dpi;
    return o;
}

PageOptions PageOptions::A5(int dpi) {
    PageOptions o;
    o.dpi = dpi;
    o.width = static_cast<int>(std::lround(148.0 / 25.4 * dpi));
    o.height = static_cast<int>(std::lround(210.0 / 25.4 * dpi));
    return o;
}

std::pair<double, double> GroundTruth::ToImage(double x, double y) const {
    const double a = skewDegrees * std::numbers::pi / 180.0;
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    const double dx = x - cx;
    const double dy = y - cy;
    return {cx + dx * std::cos(a) - dy * std::sin(a), cy + dx * std::sin(a) + dy * std::cos(a)};
}

Rect GroundTruth::ImageBounds(const Rect& r) const {
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    for (const auto& [px, py] :
         {std::pair<double, double>{r.x, r.y}, {r.Right(), r.y}, {r.x, r.Bottom()}, {r.Right(), r.Bottom()}}) {
        const auto [ix, iy] = ToImage(px, py);
        x0 = std::min(x0, ix);
        y0 = std::min(y0, iy);
        x1 = std::max(x1, ix);
        y1 = std::max(y1, iy);
    }
    const int left = std::max(0, static_cast<int>(std::floor(x0)));
    const int top = std::max(0, static_cast<int>(std::floor(y0)));
    const int right = std::min(width, static_cast<int>(std::ceil(x1)));
    const int bottom = std::min(height, static_cast<int>(std::ceil(y1)));
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

SyntheticPage::SyntheticPage(PageOptions options) : options_(std::move(options)) {
    const PageOptions& o = options_;
    Require(o.depth == 1 || o.depth == 8 || o.depth == 32, "depth must be 1, 8 or 32");
    Require(o.width >= 64 && o.height >= 64 && o.width <= 30000 && o.height <= 30000, "page size out of range");
    Require(o.dpi >= 30 && o.dpi <= 2400, "dpi out of range");
    Require(o.columns >= 1 && o.columns <= 8, "columns must be 1..8");
    Require(o.fontPoints > 0 && o.headingPoints > 0, "font sizes must be positive");
    Require(std::abs(o.skewDegrees) <= 45.0, "skew must be within +-45 degrees");
    Require(o.blur >= 0 && o.blur <= 10 && o.noiseSigma >= 0, "blur or noise out of range");
    Require(o.specks.count >= 0, "speck count must not be negative");
    for (int s : o.specks.sizes) Require(s > 0, "speck sizes must be positive");
    for (const RuleLine& r : o.rules) Require(r.thickness > 0 && r.end > r.start, "empty rule line");
    Require(!o.shade || (o.shade->rect.w > 0 && o.shade->rect.h > 0), "empty shaded box");
    const int m = o.dpi * 3 / 4;
    const int textW = o.width - Resolve(o.marginLeft, m) - Resolve(o.marginRight, m);
    const int textH = o.height - Resolve(o.marginTop, m) - Resolve(o.marginBottom, m);
    const int gutter = Resolve(o.gutter, o.dpi / 4);
    Require(textH >= 32 && (textW - (o.columns - 1) * gutter) / o.columns >= 32, "margins leave no room for text");
}

int SyntheticPage::FontSizeFor(double points, int dpi) {
    const long size = 2 * std::lround(points * dpi / 300.0 / 2.0);
    return static_cast<int>(std::clamp(size, 4L, 20L));
}

const std::vector<std::string>& SyntheticPage::BuiltInParagraphs() { return kParagraphs; }

Pix* SyntheticPage::Render(GroundTruth* truth) const {
    const PageOptions& o = options_;
    GroundTruth gt;
    gt.width = o.width;
    gt.height = o.height;
    gt.dpi = o.dpi;
    gt.depth = o.depth;
    gt.skewDegrees = o.skewDegrees;
    gt.fontSize = FontSizeFor(o.fontPoints, o.dpi);
    gt.headingFontSize = FontSizeFor(o.headingPoints, o.dpi);
    gt.rules = o.rules;
    gt.shade = o.shade;
    gt.border = o.border;

    const int m = o.dpi * 3 / 4;
    const int left = Resolve(o.marginLeft, m);
    const int top = Resolve(o.marginTop, m);
    gt.textArea = {left, top, o.width - left - Resolve(o.marginRight, m), o.height - top - Resolve(o.marginBottom, m)};

    // Content is composed in grey (or colour) so that the skew can be area-mapped like a real scan.
    const bool colour = o.depth == 32;
    Pix* canvas = pixCreate(o.width, o.height, colour ? 32 : 8);
    pixSetAllArbitrary(canvas, colour ? 0xffffff00u : 255u);
    if (o.shade) PageDefects::FillShade(canvas, *o.shade);

    BmfPtr body = LoadFont(gt.fontSize);
    const int pitch = body->lineheight * 6 / 5;

    // Heading: centred lines across the whole text area.
    TextFlow headingFlow({gt.textArea}, o.rules, body->lineheight / 2);
    int bodyTop = gt.textArea.y;
    const std::vector<std::string> headingWords = SplitWords(o.heading);
    if (!headingWords.empty()) {
        BmfPtr hfont = LoadFont(gt.headingFontSize);
        const l_uint32 value = colour ? (o.headingColor & 0xffffffu) << 8 : 0u;
        for (const PlacedLine& line : WrapParagraph(hfont.get(), headingWords, gt.textArea.w, 0, false, true)) {
            if (!headingFlow.NextSlot(hfont->lineheight)) break;
            const Rect box = PaintLine(canvas, hfont.get(), line, gt.textArea.x, headingFlow.Y(), value);
            gt.lines.push_back({box, Join(line.words), true, 0});
            headingFlow.Advance(hfont->lineheight * 6 / 5);
        }
        bodyTop = headingFlow.Y() + hfont->lineheight / 2;
    }

    // Body: paragraphs flowed through the columns.
    const int gutter = Resolve(o.gutter, o.dpi / 4);
    const int colW = (gt.textArea.w - (o.columns - 1) * gutter) / o.columns;
    for (int c = 0; c < o.columns; ++c) {
        gt.columns.push_back({gt.textArea.x + c * (colW + gutter), bodyTop, colW, gt.textArea.Bottom() - bodyTop});
    }
    if (gt.columns.front().h > 0) {
        const std::vector<std::string>& paragraphs = o.paragraphs.empty() ? kParagraphs : o.paragraphs;
        TextFlow flow(gt.columns, o.rules, body->lineheight / 2);
        bool full = false;
        bool anyWords = false;
        for (std::size_t p = 0; !full; ++p) {
            if (p == paragraphs.size()) {
                if (!o.fillPage || !anyWords) break;
                p = 0;
            }
            const std::vector<std::string> words = SplitWords(paragraphs[p]);
            if (words.empty()) continue;
            anyWords = true;
            const int indent = 4 * body->spacewidth;
            for (const PlacedLine& line : WrapParagraph(body.get(), words, colW, indent, o.justify, false)) {
                if (!flow.NextSlot(body->lineheight)) {
                    full = true;
                    break;
                }
                const Rect box = PaintLine(canvas, body.get(), line, flow.Column().x, flow.Y(), 0u);
                gt.lines.push_back({box, Join(line.words), false, flow.ColumnIndex()});
                flow.Advance(pitch);
            }
            flow.Advance(body->lineheight / 2);
        }
    }

    for (const RuleLine& rule : o.rules) PageDefects::DrawRule(canvas, rule);

    Pix* page = PageDefects::Skew(canvas, o.skewDegrees, o.sampledSkew);
    pixDestroy(&canvas);
    gt.specks = PageDefects::AddSpecks(page, o.specks, o.border);
    PageDefects::AddBorder(page, o.border);

    Pix* out = nullptr;
    if (o.depth == 1) {
        Pix* mask = nullptr;
        if (o.shade) {
            Pix* upright = pixCreate(o.width, o.height, 1);
            PageDefects::FillShade(upright, {o.shade->rect, 0, 0});
            mask = PageDefects::Skew(upright, o.skewDegrees);
            pixDestroy(&upright);
        }
        out = PageDefects::Binarize(page, mask);
        pixDestroy(&mask);
        pixDestroy(&page);
    } else {
        PageDefects::Tint(page, o.paperColor);
        out = PageDefects::Blur(page, o.blur);
        pixDestroy(&page);
        PageDefects::AddNoise(out, o.noiseSigma, o.noiseSeed);
    }
    pixSetResolution(out, o.dpi, o.dpi);
    if (truth != nullptr) *truth = std::move(gt);
    return out;
}

Pix* RenderPage(const PageOptions& options, GroundTruth* truth) { return SyntheticPage(options).Render(truth); }

}  // namespace leafmend::synthpage
