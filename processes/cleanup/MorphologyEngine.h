// MorphologyEngine: reshapes the black strokes of a 1-bit page in place —
// erosion, dilation, opening, closing (sizes 1 to 5) and outline smoothing
// (a one-pixel pattern rule at size 1, gap filling along straight edges at
// sizes 2 to 5). Works straight on the page's packed DIB (bottom-up rows,
// most significant bit first, set bit = white).
//
// The window W(n) around pixel (x, y), y counted down from the top, covers
// columns x - n/2 .. x + (n+1)/2 and rows y - (n+1)/2 .. y + n/2 (integer
// division): an (n + 1) x (n + 1) square, its odd extra column to the right and
// extra row above. W(1) is the pixel, its right neighbour, the pixel above and
// the pixel above-right.
//
// Cost on a 300-dpi A4 page (2480 x 3508): erosion, size-1 dilation, opening
// and closing are byte-parallel over a padded copy (a few passes over 1 MB);
// the pattern rule and gap filling examine only pixels near a colour change.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <cstdint>
#include <vector>

class CZRProgressTracker;

class MorphologyEngine {
public:
    // Column tables and row buffers for this many columns are made at
    // construction; a page at least as wide gets tables for twice its width.
    static constexpr int kInitialColumns = 3000;

    MorphologyEngine();
    MorphologyEngine(const MorphologyEngine&) = delete;
    MorphologyEngine& operator=(const MorphologyEngine&) = delete;

    // Receives progress (0..90 of the operation's share) or null.
    void setProgressOwner(CZRProgressTracker* owner) { progress_ = owner; }
    // Columns the pattern rule's tables currently hold.
    int tableColumns() const { return static_cast<int>(columnByte_.size()); }

    // Every member takes the page's packed 1-bit DIB. A null DIB, a header
    // whose size is not 40, or a page that is not 1-bit gives CZRException
    // 2160. Sizes outside 1..5 give CZRException 2166, except dilation, where
    // sizes above 5 paint W(1) blocks and sizes below 1 change nothing.

    // Black pixels become white when any pixel of W(n) around them is white.
    // Size 1 changes rows 2 .. H-3 and columns 1 .. W-4; sizes 2..5 change
    // rows n+1 .. H-n-2 and columns n+1 .. W-n-2 (a margin of n+1 each side).
    void erode(BITMAPINFOHEADER* dib, int size);
    // Every black pixel paints W(n) around itself black. Size 1 paints from
    // the black pixels of rows 2 .. H-3 and columns 2 .. W-3; sizes 2..5 from
    // those of rows n+1 .. H-n-2 and columns n+1 .. W-n-2; larger sizes paint
    // W(1) blocks from that interior.
    void dilate(BITMAPINFOHEADER* dib, int size);
    // Erosion by n, then every black pixel of the eroded interior paints W(n):
    // black groups smaller than the window vanish, larger ones keep their shape.
    void open(BITMAPINFOHEADER* dib, int size);
    // Dilation by n painted from the black pixels of the interior, then erosion
    // by n of the interior: white holes and gaps smaller than the window close.
    void close(BITMAPINFOHEADER* dib, int size);
    // Size 1: one-pixel dents in straight black edges are filled and one-pixel
    // bumps removed. Sizes 2..5: gaps of up to n - 1 pixels along a straight
    // edge (one neighbouring line all white, the other all black) are filled.
    void smooth(BITMAPINFOHEADER* dib, int size);

private:
    struct Page;
    struct Plane;
    struct Rect {
        int x0, x1, y0, y1;  // [x0, x1) x [y0, y1)
        bool empty() const { return x0 >= x1 || y0 >= y1; }
    };
    struct Window {
        int dx0, dx1, dy0, dy1;  // inclusive offsets, dy counted down
    };

    static Page Open(BITMAPINFOHEADER* dib);
    static Window WindowOf(int size);
    static void CheckSize(int size);

    // Pixels of `area`: white when any pixel of window around them is white in `source`.
    void erodeArea(const Page& page, const Plane& source, Rect area, Window window);
    // Every black pixel of `source` inside `sources` paints window around itself black.
    void paintFrom(const Page& page, const Plane& source, Rect sources, Window window);
    void patternSmooth(const Page& page);
    void fillGaps(const Page& page, int size);
    void ensureTables(int width);
    void report(int percent);

    CZRProgressTracker* progress_ = nullptr;
    // Pattern rule: byte index and mask (128 >> x mod 8) of each column, and
    // three unpacked rows (one byte per pixel, 1 = white): above, current, below.
    std::vector<std::uint32_t> columnByte_;
    std::vector<std::uint8_t> columnMask_;
    std::vector<std::uint8_t> rowBuffers_[3];
    // Scratch rows of the word-parallel members, kept between operations.
    std::vector<std::uint8_t> scratch_;
};
