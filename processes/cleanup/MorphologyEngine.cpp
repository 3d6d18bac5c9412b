// MorphologyEngine: the operation family on packed 1-bit rows. Bit layout
// throughout: pixel x of a row is bit 7 - (x mod 8) of byte x / 8, set =
// white; the page's rows are stored bottom-up, so top row y is stored row
// H - 1 - y.
#include "processes/cleanup/MorphologyEngine.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Eight unpacked pixels (one byte each, 1 = white) for every packed byte.
const std::array<std::uint64_t, 256>& UnpackTable() {
    static const std::array<std::uint64_t, 256> table = [] {
        std::array<std::uint64_t, 256> t{};
        for (int value = 0; value < 256; ++value) {
            std::uint8_t bytes[8];
            for (int bit = 0; bit < 8; ++bit) bytes[bit] = static_cast<std::uint8_t>((value >> (7 - bit)) & 1);
            std::memcpy(&t[static_cast<std::size_t>(value)], bytes, 8);
        }
        return t;
    }();
    return table;
}

inline std::uint64_t Load8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Bits of a byte that belong to columns [x0, x1) of the row, for byte `index`.
std::uint8_t ColumnMask(int index, int x0, int x1) {
    std::uint8_t mask = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const int x = index * 8 + bit;
        if (x >= x0 && x < x1) mask = static_cast<std::uint8_t>(mask | (0x80 >> bit));
    }
    return mask;
}

// out[i] |= (pixel x + dx at position x), or &= for the AND form; `in` has a
// readable guard byte on each side of its `count` bytes.
template <bool And>
void Combine(std::uint8_t* out, const std::uint8_t* in, int count, int dx) {
    if (dx == 0) {
        for (int i = 0; i < count; ++i) out[i] = And ? (out[i] & in[i]) : (out[i] | in[i]);
    } else if (dx > 0) {
        const int back = 8 - dx;
        for (int i = 0; i < count; ++i) {
            const auto v = static_cast<std::uint8_t>((in[i] << dx) | (in[i + 1] >> back));
            out[i] = And ? (out[i] & v) : (out[i] | v);
        }
    } else {
        const int k = -dx;
        const int back = 8 - k;
        for (int i = 0; i < count; ++i) {
            const auto v = static_cast<std::uint8_t>((in[i] >> k) | (in[i - 1] << back));
            out[i] = And ? (out[i] & v) : (out[i] | v);
        }
    }
}

}  // namespace

// The page's rows, top-down.
struct MorphologyEngine::Page {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    int rowBytes = 0;

    std::uint8_t* row(int y) const { return bits + static_cast<std::size_t>(height - 1 - y) * stride; }
    static bool Bit(const std::uint8_t* row, int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
    bool white(int x, int y) const { return Bit(row(y), x); }
    static void Set(std::uint8_t* row, int x, bool white) {
        const auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (white)
            row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | mask);
        else
            row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] & ~mask);
    }
};

// A copy of the page, top-down, each row framed by white guard bytes so that
// shifted reads at either end stay inside the copy; bits past the width are white.
struct MorphologyEngine::Plane {
    int rowBytes = 0;
    int pitch = 0;
    int height = 0;
    std::vector<std::uint8_t> data;

    void load(const Page& page) {
        rowBytes = page.rowBytes;
        pitch = rowBytes + 2;
        height = page.height;
        data.assign(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height), 0xFF);
        const int spare = rowBytes * 8 - page.width;
        const auto tail = static_cast<std::uint8_t>((1u << spare) - 1u);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* out = row(y);
            std::memcpy(out, page.row(y), static_cast<std::size_t>(rowBytes));
            out[rowBytes - 1] = static_cast<std::uint8_t>(out[rowBytes - 1] | tail);
        }
    }
    std::uint8_t* row(int y) { return data.data() + static_cast<std::size_t>(y) * pitch + 1; }
    const std::uint8_t* row(int y) const { return data.data() + static_cast<std::size_t>(y) * pitch + 1; }
};

MorphologyEngine::MorphologyEngine() { ensureTables(kInitialColumns - 1); }

void MorphologyEngine::ensureTables(int width) {
    if (width < tableColumns()) return;
    const int columns = tableColumns() == 0 && width < kInitialColumns ? kInitialColumns : 2 * width;
    columnByte_.resize(static_cast<std::size_t>(columns));
    columnMask_.resize(static_cast<std::size_t>(columns));
    for (int x = 0; x < columns; ++x) {
        columnByte_[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(x / 8);
        columnMask_[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    // Unpacking writes whole groups of eight, up to seven past the last column,
    // and the skip test reads eight bytes from any column.
    for (auto& buffer : rowBuffers_) buffer.assign(static_cast<std::size_t>(columns) + 16, 1);
}

void MorphologyEngine::report(int percent) {
    if (progress_) progress_->reportProgress(percent);
}

MorphologyEngine::Page MorphologyEngine::Open(BITMAPINFOHEADER* dib) {
    if (!dib || dib->biSize != sizeof(BITMAPINFOHEADER) || dib->biBitCount != 1 || dib->biWidth <= 0 ||
        dib->biHeight <= 0)
        throw CZRException(static_cast<UINT>(IDS_UNKNOWN_INTERNAL_ERROR));
    Page page;
    page.bits = dib::Bits(dib);
    page.width = dib->biWidth;
    page.height = dib->biHeight;
    page.stride = dib::Stride(dib->biWidth, 1);
    page.rowBytes = (page.width + 7) / 8;
    return page;
}

void MorphologyEngine::CheckSize(int size) {
    if (size < 1 || size > 5) throw CZRException(static_cast<UINT>(IDS_INVALID_PARAMETER));
}

MorphologyEngine::Window MorphologyEngine::WindowOf(int size) {
    return {-(size / 2), (size + 1) / 2, -((size + 1) / 2), size / 2};
}

// White spreads from every white pixel over the window, restricted to `area`:
// out(q) = OR of source(q + w) over the window, one byte row at a time.
void MorphologyEngine::erodeArea(const Page& page, const Plane& source, Rect area, Window window) {
    area.x0 = std::max(area.x0, 0);
    area.y0 = std::max(area.y0, 0);
    area.x1 = std::min(area.x1, page.width);
    area.y1 = std::min(area.y1, page.height);
    if (area.empty()) return;
    const int count = page.rowBytes;
    const int firstRow = area.y0 + window.dy0;
    const int rows = (area.y1 + window.dy1) - firstRow;
    scratch_.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(rows + 1), 0);
    auto across = [&](int y) { return scratch_.data() + static_cast<std::size_t>(y - firstRow) * count; };
    for (int y = firstRow; y < firstRow + rows; ++y)
        for (int dx = window.dx0; dx <= window.dx1; ++dx) Combine<false>(across(y), source.row(y), count, dx);
    std::uint8_t* out = scratch_.data() + static_cast<std::size_t>(count) * rows;
    const int firstByte = area.x0 / 8;
    const int lastByte = (area.x1 - 1) / 8;
    const std::uint8_t headMask = ColumnMask(firstByte, area.x0, area.x1);
    const std::uint8_t tailMask = ColumnMask(lastByte, area.x0, area.x1);
    for (int y = area.y0; y < area.y1; ++y) {
        if (y % 500 == 0) report(90 * y / std::max(page.height - 1, 1));
        std::memcpy(out, across(y + window.dy0), static_cast<std::size_t>(count));
        for (int dy = window.dy0 + 1; dy <= window.dy1; ++dy) Combine<false>(out, across(y + dy) - 0, count, 0);
        std::uint8_t* target = page.row(y);
        for (int i = firstByte; i <= lastByte; ++i) {
            const std::uint8_t mask = i == firstByte ? headMask : (i == lastByte ? tailMask : 0xFF);
            target[i] = static_cast<std::uint8_t>((target[i] & ~mask) | (out[i] & mask));
        }
    }
}

// Black spreads from every black pixel of `sources` over the window:
// out(q) = AND of source(q - w) over the window, with every pixel outside
// `sources` taken as white; the page keeps its black and gains out's.
void MorphologyEngine::paintFrom(const Page& page, const Plane& source, Rect sources, Window window) {
    sources.x0 = std::max(sources.x0, 0);
    sources.y0 = std::max(sources.y0, 0);
    sources.x1 = std::min(sources.x1, page.width);
    sources.y1 = std::min(sources.y1, page.height);
    if (sources.empty()) return;
    const int count = page.rowBytes;
    const int rows = sources.y1 - sources.y0;
    // One masked copy row plus one combined row per source row, plus the output row.
    scratch_.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(rows + 1) + count + 2, 0xFF);
    std::uint8_t* masked = scratch_.data() + 1;  // guard bytes either side stay white
    std::uint8_t* out = masked + count + 1;
    auto across = [&](int y) { return out + count + static_cast<std::size_t>(y - sources.y0) * count; };
    std::vector<std::uint8_t> outside(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        outside[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(~ColumnMask(i, sources.x0, sources.x1));
    for (int y = sources.y0; y < sources.y1; ++y) {
        const std::uint8_t* in = source.row(y);
        for (int i = 0; i < count; ++i)
            masked[i] = static_cast<std::uint8_t>(in[i] | outside[static_cast<std::size_t>(i)]);
        std::uint8_t* combined = across(y);
        std::memset(combined, 0xFF, static_cast<std::size_t>(count));
        for (int dx = window.dx0; dx <= window.dx1; ++dx) Combine<true>(combined, masked, count, -dx);
    }
    const int lastColumnByte = count - 1;
    const std::uint8_t valid = ColumnMask(lastColumnByte, 0, page.width);
    const int firstOut = std::max(sources.y0 + window.dy0, 0);
    const int lastOut = std::min(sources.y1 - 1 + window.dy1, page.height - 1);
    for (int y = firstOut; y <= lastOut; ++y) {
        if (y % 500 == 0) report(90 * y / std::max(page.height - 1, 1));
        std::memset(out, 0xFF, static_cast<std::size_t>(count));
        bool any = false;
        for (int dy = window.dy0; dy <= window.dy1; ++dy) {
            const int from = y - dy;
            if (from < sources.y0 || from >= sources.y1) continue;
            Combine<true>(out, across(from), count, 0);
            any = true;
        }
        if (!any) continue;
        out[lastColumnByte] = static_cast<std::uint8_t>(out[lastColumnByte] | ~valid);
        std::uint8_t* target = page.row(y);
        for (int i = 0; i < count; ++i) target[i] = static_cast<std::uint8_t>(target[i] & out[i]);
    }
}

void MorphologyEngine::erode(BITMAPINFOHEADER* dib, int size) {
    const Page page = Open(dib);
    CheckSize(size);
    Plane source;
    source.load(page);
    if (size == 1)
        erodeArea(page, source, {1, page.width - 3, 2, page.height - 2}, WindowOf(1));
    else
        erodeArea(page, source, {size + 1, page.width - size - 1, size + 1, page.height - size - 1}, WindowOf(size));
}

void MorphologyEngine::dilate(BITMAPINFOHEADER* dib, int size) {
    const Page page = Open(dib);
    if (size < 1) return;
    if (size == 1) {
        Plane source;
        source.load(page);
        paintFrom(page, source, {2, page.width - 2, 2, page.height - 2}, WindowOf(1));
        return;
    }
    // Sizes above 5 paint W(1) blocks, from the same interior as their size.
    const Rect interior{size + 1, page.width - size - 1, size + 1, page.height - size - 1};
    Plane source;
    source.load(page);
    paintFrom(page, source, interior, WindowOf(size <= 5 ? size : 1));
}

void MorphologyEngine::open(BITMAPINFOHEADER* dib, int size) {
    const Page page = Open(dib);
    CheckSize(size);
    if (size == 1) {
        erode(dib, 1);
        dilate(dib, 1);
        return;
    }
    const Rect interior{size + 1, page.width - size - 1, size + 1, page.height - size - 1};
    Plane copy;
    copy.load(page);
    erodeArea(page, copy, interior, WindowOf(size));
    copy.load(page);
    paintFrom(page, copy, interior, WindowOf(size));
}

void MorphologyEngine::close(BITMAPINFOHEADER* dib, int size) {
    const Page page = Open(dib);
    CheckSize(size);
    if (size == 1) {
        dilate(dib, 1);
        erode(dib, 1);
        return;
    }
    const Rect interior{size + 1, page.width - size - 1, size + 1, page.height - size - 1};
    Plane copy;
    copy.load(page);
    paintFrom(page, copy, interior, WindowOf(size));
    copy.load(page);
    erodeArea(page, copy, interior, WindowOf(size));
}

void MorphologyEngine::smooth(BITMAPINFOHEADER* dib, int size) {
    const Page page = Open(dib);
    CheckSize(size);
    if (size == 1)
        patternSmooth(page);
    else
        fillGaps(page, size);
}

// Pattern rule over rows 1 .. H-2 (top first) and columns 1 .. W-2 (left
// first), in place on three unpacked rows: the row above already holds its
// decisions, the current row those left of x. Neighbours of X:
//   a u b
//   l X r
//   d v c
// Only pixels where exactly one of a, c and exactly one of b, d is white can
// match; eight columns at a time are skipped when none can.
void MorphologyEngine::patternSmooth(const Page& page) {
    const int width = page.width;
    const int height = page.height;
    if (width < 3 || height < 3) return;
    ensureTables(width);
    const auto& unpack = UnpackTable();
    auto load = [&](std::uint8_t* buffer, int y) {
        const std::uint8_t* row = page.row(y);
        for (int i = 0; i < page.rowBytes; ++i) std::memcpy(buffer + 8 * i, &unpack[row[i]], 8);
    };
    std::uint8_t* above = rowBuffers_[0].data();
    std::uint8_t* current = rowBuffers_[1].data();
    std::uint8_t* below = rowBuffers_[2].data();
    load(above, 0);
    load(current, 1);
    for (int y = 1; y <= height - 2; ++y) {
        if (y % 500 == 0) report(90 * y / (height - 1));
        load(below, y + 1);
        std::uint8_t* row = page.row(y);
        for (int x = 1; x <= width - 2;) {
            if (x + 8 <= width - 1) {
                const std::uint64_t ac = Load8(above + x - 1) ^ Load8(below + x + 1);
                const std::uint64_t bd = Load8(above + x + 1) ^ Load8(below + x - 1);
                if ((ac & bd) == 0) {
                    x += 8;
                    continue;
                }
            }
            const int pa = above[x - 1], pu = above[x], pb = above[x + 1];
            const int pl = current[x - 1], px = current[x], pr = current[x + 1];
            const int pd = below[x - 1], pv = below[x], pc = below[x + 1];
            if (((pa ^ pc) & (pb ^ pd)) != 0) {
                const int top = pa & pu & pb, bottom = pd & pv & pc, left = pa & pl & pd, right = pb & pr & pc;
                int next = px;
                if (px) {
                    // A dent: exactly one side's three pixels white, the other five black.
                    if (pa + pu + pb + pl + pr + pd + pv + pc == 3 && (top | bottom | left | right)) next = 0;
                } else {
                    // A bump: one side and both flanks white, the opposite side black.
                    const bool bump = (top & pl & pr & !(pd | pv | pc)) || (bottom & pl & pr & !(pa | pu | pb)) ||
                                      (left & pu & pv & !(pb | pr | pc)) || (right & pu & pv & !(pa | pl | pd));
                    if (bump) next = 1;
                }
                if (next != px) {
                    current[x] = static_cast<std::uint8_t>(next);
                    const std::size_t column = static_cast<std::size_t>(x);
                    if (next)
                        row[columnByte_[column]] =
                            static_cast<std::uint8_t>(row[columnByte_[column]] | columnMask_[column]);
                    else
                        row[columnByte_[column]] =
                            static_cast<std::uint8_t>(row[columnByte_[column]] & ~columnMask_[column]);
                }
            }
            ++x;
        }
        std::swap(above, current);
        std::swap(current, below);
    }
}

// Gap filling by n, in place. Rows n+1 .. H-2n-2 from the top, columns
// n .. W-2n-3 from the left. At each pixel p (colour P):
//  - horizontally, unless p lies before the row's next starting point: among
//    the next n pixels to the right find the first of the other colour and,
//    after it, the first of colour P again. No other colour: the starting
//    point becomes p + n. A gap that closes: when, from one pixel before the
//    gap to the closing pixel, the row above is all one colour and the row
//    below all the other, the gap is painted P; the starting point becomes
//    p + gap length + 1. A gap that does not close leaves the starting point.
//  - vertically the same down p's column, with a starting point per column,
//    comparing the columns left and right of the gap.
// Within a row the horizontal steps never read what the vertical steps
// paint (rows below, columns left of the current pixel), and a vertical step
// at x reads only horizontal results at or left of x, so each row runs all
// its horizontal steps first and then all its vertical ones.
void MorphologyEngine::fillGaps(const Page& page, int size) {
    const int n = size;
    const int xFirst = n;
    const int xLast = page.width - 2 * n - 3;
    const int yFirst = n + 1;
    const int yLast = page.height - 2 * n - 2;
    if (xLast < xFirst || yLast < yFirst) return;
    const int ring = n + 1;
    const auto ringPitch = static_cast<std::size_t>(page.rowBytes);
    std::vector<std::uint8_t> dueRing(ringPitch * static_cast<std::size_t>(ring), 0);
    for (int x = xFirst; x <= xLast; ++x)
        dueRing[static_cast<std::size_t>(yFirst % ring) * ringPitch + static_cast<std::size_t>(x >> 3)] |=
            static_cast<std::uint8_t>(0x80 >> (x & 7));
    std::vector<std::uint8_t*> rows(static_cast<std::size_t>(page.height));
    for (int y = 0; y < page.height; ++y) rows[static_cast<std::size_t>(y)] = page.row(y);
    // Whether one line is all white and the other all black over [from, to].
    auto oneWhiteOneBlack = [](auto first, auto second, int from, int to) {
        bool firstWhite = true, firstBlack = true, secondWhite = true, secondBlack = true;
        for (int k = from; k <= to; ++k) {
            const bool f = first(k), s = second(k);
            firstWhite = firstWhite && f;
            firstBlack = firstBlack && !f;
            secondWhite = secondWhite && s;
            secondBlack = secondBlack && !s;
        }
        return (firstWhite && secondBlack) || (firstBlack && secondWhite);
    };
    const unsigned all = (1u << n) - 1u;
    for (int y = yFirst; y <= yLast; ++y) {
        if (y % 500 == 0) report(90 * y / yLast);
        std::uint8_t* row = rows[static_cast<std::size_t>(y)];
        const std::uint8_t* above = rows[static_cast<std::size_t>(y - 1)];
        const std::uint8_t* below = rows[static_cast<std::size_t>(y + 1)];

        // Horizontal steps.
        for (int x = xFirst; x <= xLast;) {
            const int index = x >> 3;
            // From a pixel of a one-colour byte followed by another of the same
            // colour, the next n pixels (at most 5) hold no other colour.
            if (index + 1 < page.rowBytes && (row[index] == 0 || row[index] == 0xFF) && row[index + 1] == row[index]) {
                const int byteEnd = std::min(x | 7, xLast);
                while (x <= byteEnd) x += n;
                continue;
            }
            const bool colour = Page::Bit(row, x);
            // Pixels x+1 .. x+n as n bits, x+1 the highest; at most two bytes.
            const int first = (x + 1) >> 3;
            const int spare = (x + 1) & 7;
            unsigned window = static_cast<unsigned>(row[first]) << 8;
            if (((x + n) >> 3) > first) window |= row[first + 1];
            const unsigned bits = (window >> (16 - spare - n)) & all;
            const unsigned same = colour ? bits : (~bits & all);
            const unsigned other = ~same & all;
            if (other == 0) {
                x += n;
                continue;
            }
            const int open = n - (31 - __builtin_clz(other));
            const unsigned after = same & ((1u << (n - open)) - 1u);
            if (after == 0) {
                ++x;  // the gap does not close: the starting point stays
                continue;
            }
            const int close = n - (31 - __builtin_clz(after));
            if (oneWhiteOneBlack([&](int k) { return Page::Bit(above, k); }, [&](int k) { return Page::Bit(below, k); },
                                 x + open - 1, x + close))
                for (int k = x + open; k < x + close; ++k) Page::Set(row, k, colour);
            x += (close - open) + 1;
        }

        // Vertical steps. A column's starting point is always 1 to n rows
        // ahead once it has been passed, so the columns due at each row are
        // kept as bitmaps (row layout, bit set = due) in a ring of n + 1 rows.
        // A due column whose pixel equals the n pixels below it holds no gap
        // and moves on by n; that test and the move run a byte of columns at
        // a time. The other due columns are visited one by one, left to right.
        std::uint8_t* due = dueRing.data() + static_cast<std::size_t>(y % ring) * ringPitch;
        std::uint8_t* afterN = dueRing.data() + static_cast<std::size_t>((y + n) % ring) * ringPitch;
        for (int index = 0; index < page.rowBytes; ++index) {
            if (due[index] == 0) continue;
            unsigned steady = 0xFF;
            for (int k = 1; k <= n; ++k)
                steady &= ~static_cast<unsigned>(row[index] ^ rows[static_cast<std::size_t>(y + k)][index]);
            afterN[index] = static_cast<std::uint8_t>(afterN[index] | (due[index] & steady));
            unsigned pendingColumns = due[index] & ~steady & 0xFFu;
            due[index] = 0;
            while (pendingColumns != 0) {
                const int bit = __builtin_clz(pendingColumns) - 24;
                pendingColumns &= ~(0x80u >> bit);
                const int x = index * 8 + bit;
                const bool colour = Page::Bit(row, x);
                auto at = [&](int r) { return Page::Bit(rows[static_cast<std::size_t>(r)], x); };
                int open = 0, close = 0;
                for (int step = 1; step <= n && open == 0; ++step)
                    if (at(y + step) != colour) open = step;
                for (int step = open + 1; step <= n && close == 0; ++step)
                    if (at(y + step) == colour) close = step;
                int next = y + 1;  // a gap that does not close: the starting point stays
                if (close != 0) {
                    if (oneWhiteOneBlack([&](int r) { return Page::Bit(rows[static_cast<std::size_t>(r)], x - 1); },
                                         [&](int r) { return Page::Bit(rows[static_cast<std::size_t>(r)], x + 1); },
                                         y + open - 1, y + close))
                        for (int r = y + open; r < y + close; ++r)
                            Page::Set(rows[static_cast<std::size_t>(r)], x, colour);
                    next = y + (close - open) + 1;
                }
                std::uint8_t* slot = dueRing.data() + static_cast<std::size_t>(next % ring) * ringPitch;
                slot[index] = static_cast<std::uint8_t>(slot[index] | (0x80u >> bit));
            }
        }
    }
}
