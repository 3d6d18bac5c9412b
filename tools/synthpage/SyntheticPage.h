// SyntheticPage: renders a synthetic scanned page (justified text in Leptonica's compiled-in bitmap
// fonts, plus optional skew, specks, scanner border, rule lines, shaded box, tint and noise) and reports
// exactly what it drew as GroundTruth. Deterministic for given options.
// Cost: a handful of full-page passes; a 300-dpi A4 page takes ~0.05 s (1-bit) to ~0.4 s (colour with
// noise), and a skew adds ~0.05 s.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct Pix;

namespace leafmend::synthpage {

// Axis-aligned rectangle in pixels; covers columns [x, x + w) and rows [y, y + h).
struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    bool Intersects(const Rect& o) const { return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom(); }
    bool operator==(const Rect&) const = default;
};

enum class SpeckShape { Square, Round };

// One speck as drawn, in final image coordinates. `area` is the number of black pixels.
struct Speck {
    Rect box;
    int size = 0;
    int area = 0;
};

struct SpeckOptions {
    int count = 0;
    std::vector<int> sizes{2, 3, 4};  // speck i is sizes[i % sizes.size()] pixels wide and high
    SpeckShape shape = SpeckShape::Square;
    int clearance = 0;  // minimum free pixels to ink, other specks and border; 0 = max(6, 2 * size)
    std::uint32_t seed = 1;
};

// Black scanner border strip widths in pixels, in final image coordinates.
struct Border {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Any() const { return left > 0 || top > 0 || right > 0 || bottom > 0; }
};

enum class RuleOrientation { Horizontal, Vertical };

// A solid black rule. Horizontal: rows [position, position + thickness), columns [start, end).
// Vertical: columns [position, position + thickness), rows [start, end).
struct RuleLine {
    RuleOrientation orientation = RuleOrientation::Horizontal;
    int position = 0;
    int start = 0;
    int end = 0;
    int thickness = 1;

    static RuleLine Horizontal(int y, int x0, int x1, int thickness) {
        return {RuleOrientation::Horizontal, y, x0, x1, thickness};
    }
    static RuleLine Vertical(int x, int y0, int y1, int thickness) {
        return {RuleOrientation::Vertical, x, y0, y1, thickness};
    }
    Rect Bounds() const {
        return orientation == RuleOrientation::Horizontal ? Rect{start, position, end - start, thickness}
                                                          : Rect{position, start, thickness, end - start};
    }
};

// Background shading behind whatever lies in `rect` (text stays black). Grey pages use `level`,
// colour pages `color` (0xRRGGBB); 1-bit pages get `level` as an error-diffusion dither.
struct ShadedBox {
    Rect rect;
    int level = 190;
    std::uint32_t color = 0xc8d2e0;
};

struct PageOptions {
    int width = 1275;  // letter at 150 dpi
    int height = 1650;
    int dpi = 150;
    int depth = 1;  // 1, 8 or 32

    // Layout. Negative margins and gutter mean "choose from dpi" (3/4 inch, 1/4 inch).
    int marginLeft = -1;
    int marginTop = -1;
    int marginRight = -1;
    int marginBottom = -1;
    int columns = 1;
    int gutter = -1;
    double fontPoints = 10.0;
    double headingPoints = 16.0;
    std::string heading;                  // optional title above the columns
    std::vector<std::string> paragraphs;  // empty = built-in text (ASCII only)
    bool fillPage = true;                 // repeat the paragraphs until the text area is full
    bool justify = true;

    // Defects. Content (text, rules, shade) is drawn upright and then skewed; specks and the border
    // are added after the skew, as dust and the lid would be on a real scan.
    double skewDegrees = 0.0;  // positive = clockwise, about the page centre; page size is kept
    bool sampledSkew = false;  // rotate by sampling instead of area mapping: harder edges, smaller PNGs
    std::vector<RuleLine> rules;
    std::optional<ShadedBox> shade;
    SpeckOptions specks;
    Border border;

    // Grey and colour pages only.
    std::uint32_t paperColor = 0xffffff;    // 0xRRGGBB, multiplies everything (32-bit pages)
    std::uint32_t headingColor = 0x1a3c8c;  // 32-bit pages
    int blur = 0;                           // box blur half-width applied before noise
    double noiseSigma = 0.0;                // Gaussian-like noise, grey levels
    std::uint32_t noiseSeed = 7;

    static PageOptions A4(int dpi);
    static PageOptions Letter(int dpi);
    static PageOptions A5(int dpi);
};

struct TextLine {
    Rect box;  // tight box of the line's ink, page coordinates (before skew)
    std::string text;
    bool heading = false;
    int column = 0;
};

struct GroundTruth {
    int width = 0;
    int height = 0;
    int dpi = 0;
    int depth = 0;
    double skewDegrees = 0.0;
    int fontSize = 0;  // Leptonica bitmap font sizes actually used
    int headingFontSize = 0;

    // Page coordinates, i.e. before the skew; use ToImage/ImageBounds to locate them in the image.
    Rect textArea;
    std::vector<Rect> columns;
    std::vector<TextLine> lines;
    std::vector<RuleLine> rules;
    std::optional<ShadedBox> shade;

    // Final image coordinates.
    std::vector<Speck> specks;
    Border border;

    // Maps a continuous page point (pixel centres at +0.5) to the image, as the skew moved it.
    std::pair<double, double> ToImage(double x, double y) const;
    // Axis-aligned image box enclosing the skewed `r`, clipped to the image.
    Rect ImageBounds(const Rect& r) const;
};

struct PixDeleter {
    void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

class SyntheticPage {
public:
    // Throws std::invalid_argument when the options cannot make a page.
    explicit SyntheticPage(PageOptions options);

    const PageOptions& Options() const { return options_; }

    // Renders the page with its resolution set. The caller owns the result; `truth` may be null.
    Pix* Render(GroundTruth* truth = nullptr) const;

    static const std::vector<std::string>& BuiltInParagraphs();
    // Leptonica bitmap font size (even, 4..20) for `points` at `dpi`.
    static int FontSizeFor(double points, int dpi);

private:
    PageOptions options_;
};

// Convenience: SyntheticPage(options).Render(truth).
Pix* RenderPage(const PageOptions& options, GroundTruth* truth = nullptr);

}  // namespace leafmend::synthpage
