// The morphology engine against pixel-by-pixel references written from the
// rules alone (window, scanned area, scan order), on random pages and on
// small pages with known shapes; sizes outside the family; tiny and wide pages.
#include "processes/cleanup/MorphologyEngine.h"
#include "tests/processes/cleanup/BitGrid.h"

#include "framework/CZRException.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using cleanup_test::Grid;
using cleanup_test::LibraryPage;
using cleanup_test::RandomGrid;

struct Window {
    int dx0, dx1, dy0, dy1;
};
Window WindowOf(int n) { return {-(n / 2), (n + 1) / 2, -((n + 1) / 2), n / 2}; }

struct Area {
    int x0, x1, y0, y1;  // half-open
};
Area ErosionArea(const Grid& g, int n) {
    if (n == 1) return {1, g.width - 3, 2, g.height - 2};
    return {n + 1, g.width - n - 1, n + 1, g.height - n - 1};
}

// Over a copy: a black pixel of the area turns white when its window holds white.
Grid RefErode(const Grid& g, int n, Area area) {
    Grid out = g;
    const Window w = WindowOf(n);
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x) {
            if (g.at(x, y)) continue;
            bool white = false;
            for (int dy = w.dy0; dy <= w.dy1; ++dy)
                for (int dx = w.dx0; dx <= w.dx1; ++dx) white = white || g.at(x + dx, y + dy);
            if (white) out.at(x, y) = 1;
        }
    return out;
}
Grid RefErode(const Grid& g, int n) { return RefErode(g, n, ErosionArea(g, n)); }

// Every black pixel of `source` in the area paints its window black into `out`.
Grid RefPaint(const Grid& source, Grid out, int n, Area area) {
    const Window w = WindowOf(n);
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x)
            if (!source.at(x, y))
                for (int dy = w.dy0; dy <= w.dy1; ++dy)
                    for (int dx = w.dx0; dx <= w.dx1; ++dx) out.at(x + dx, y + dy) = 0;
    return out;
}

// Dilation by 1 as scanned: rows 2 .. H-3 from the top down, columns W-3 down to 2, in place.
Grid RefDilate1(Grid g) {
    for (int y = 2; y <= g.height - 3; ++y)
        for (int x = g.width - 3; x >= 2; --x)
            if (!g.at(x, y)) g.at(x + 1, y) = g.at(x, y - 1) = g.at(x + 1, y - 1) = 0;
    return g;
}

// Dilation by n: every black pixel of the interior paints its window (W(1) above size 5).
Grid RefDilate(const Grid& g, int n) {
    return RefPaint(g, g, n <= 5 ? n : 1, {n + 1, g.width - n - 1, n + 1, g.height - n - 1});
}

Grid RefOpen(const Grid& g, int n) {
    if (n == 1) return RefDilate1(RefErode(g, 1));
    const Area interior = ErosionArea(g, n);
    const Grid eroded = RefErode(g, n, interior);
    return RefPaint(eroded, eroded, n, interior);
}

Grid RefClose(const Grid& g, int n) {
    if (n == 1) return RefErode(RefDilate1(g), 1);
    const Area interior = ErosionArea(g, n);
    return RefErode(RefPaint(g, g, n, interior), n, interior);
}

// The pattern rule, in place, rows 1 .. H-2 from the top, columns 1 .. W-2 from the left.
Grid RefPattern(Grid g) {
    for (int y = 1; y <= g.height - 2; ++y)
        for (int x = 1; x <= g.width - 2; ++x) {
            const int a = g.at(x - 1, y - 1), u = g.at(x, y - 1), b = g.at(x + 1, y - 1);
            const int l = g.at(x - 1, y), r = g.at(x + 1, y);
            const int d = g.at(x - 1, y + 1), v = g.at(x, y + 1), c = g.at(x + 1, y + 1);
            if ((a + c) != 1 || (b + d) != 1) continue;
            const int sum = a + u + b + l + r + d + v + c;
            const bool topSide = a && u && b, bottomSide = d && v && c, leftSide = a && l && d, rightSide = b && r && c;
            if (g.at(x, y)) {
                if (sum == 3 && (topSide || bottomSide || leftSide || rightSide)) g.at(x, y) = 0;
            } else if ((topSide && l && r && !d && !v && !c) || (bottomSide && l && r && !a && !u && !b) ||
                       (leftSide && u && v && !b && !r && !c) || (rightSide && u && v && !a && !l && !d)) {
                g.at(x, y) = 1;
            }
        }
    return g;
}

// Gap filling by n, pixel by pixel: rows n+1 .. H-2n-2, columns n .. W-2n-3;
// the starting points move to p + n (no other colour within n) or to
// p + gap length + 1 (a gap that closes within n).
Grid RefFillGaps(Grid g, int n) {
    const int xFirst = n, xLast = g.width - 2 * n - 3, yFirst = n + 1, yLast = g.height - 2 * n - 2;
    std::vector<int> columnStart(static_cast<std::size_t>(std::max(g.width, 0)), yFirst);
    auto oneWhiteOneBlack = [](const std::vector<int>& first, const std::vector<int>& second) {
        auto all = [](const std::vector<int>& line, int value) {
            for (int p : line)
                if (p != value) return false;
            return true;
        };
        return (all(first, 1) && all(second, 0)) || (all(first, 0) && all(second, 1));
    };
    for (int y = yFirst; y <= yLast; ++y) {
        int rowStart = xFirst;
        for (int x = xFirst; x <= xLast; ++x) {
            const int colour = g.at(x, y);
            for (int direction = 0; direction < 2; ++direction) {
                const bool across = direction == 0;
                int& start = across ? rowStart : columnStart[static_cast<std::size_t>(x)];
                const int here = across ? x : y;
                if (here < start) continue;
                auto at = [&](int k) -> std::uint8_t& { return across ? g.at(x + k, y) : g.at(x, y + k); };
                int open = 0, close = 0;
                for (int k = 1; k <= n && !open; ++k)
                    if (at(k) != colour) open = k;
                if (!open) {
                    start = here + n;
                    continue;
                }
                for (int k = open + 1; k <= n && !close; ++k)
                    if (at(k) == colour) close = k;
                if (!close) continue;
                std::vector<int> first, second;
                for (int k = open - 1; k <= close; ++k) {
                    first.push_back(across ? g.at(x + k, y - 1) : g.at(x - 1, y + k));
                    second.push_back(across ? g.at(x + k, y + 1) : g.at(x + 1, y + k));
                }
                if (oneWhiteOneBlack(first, second))
                    for (int k = open; k < close; ++k) at(k) = static_cast<std::uint8_t>(colour);
                start = here + (close - open) + 1;
            }
        }
    }
    return g;
}

using Member = void (MorphologyEngine::*)(BITMAPINFOHEADER*, int);

Grid Apply(Member member, const Grid& grid, int size) {
    LibraryPage page(grid);
    MorphologyEngine engine;
    (engine.*member)(page.dib(), size);
    return page.read();
}

struct ReferenceCase {
    const char* name;
    Member member;
    int size;
    std::function<Grid(const Grid&)> reference;
};

class MorphologyReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

// Widths around byte boundaries, sparse noise and stroke-like blobs.
TEST_P(MorphologyReferenceTest, MatchesThePixelByPixelRuleOnRandomPages) {
    const ReferenceCase& c = GetParam();
    const int widths[] = {23, 64, 97};
    unsigned seed = 1;
    for (int width : widths)
        for (double black : {0.05, 0.3, 0.6})
            for (bool blobs : {false, true}) {
                const Grid input = RandomGrid(width, 41, black, seed++, blobs);
                const Grid expected = c.reference(input);
                const Grid actual = Apply(c.member, input, c.size);
                ASSERT_EQ(actual, expected) << c.name << " width " << width << " black " << black << " blobs " << blobs;
            }
}

INSTANTIATE_TEST_SUITE_P(
    Members, MorphologyReferenceTest,
    ::testing::Values(
        ReferenceCase{"Erode1", &MorphologyEngine::erode, 1, [](const Grid& g) { return RefErode(g, 1); }},
        ReferenceCase{"Erode2", &MorphologyEngine::erode, 2, [](const Grid& g) { return RefErode(g, 2); }},
        ReferenceCase{"Erode3", &MorphologyEngine::erode, 3, [](const Grid& g) { return RefErode(g, 3); }},
        ReferenceCase{"Erode5", &MorphologyEngine::erode, 5, [](const Grid& g) { return RefErode(g, 5); }},
        ReferenceCase{"Dilate1", &MorphologyEngine::dilate, 1, RefDilate1},
        ReferenceCase{"Dilate2", &MorphologyEngine::dilate, 2, [](const Grid& g) { return RefDilate(g, 2); }},
        ReferenceCase{"Dilate3", &MorphologyEngine::dilate, 3, [](const Grid& g) { return RefDilate(g, 3); }},
        ReferenceCase{"Dilate4", &MorphologyEngine::dilate, 4, [](const Grid& g) { return RefDilate(g, 4); }},
        ReferenceCase{"Dilate5", &MorphologyEngine::dilate, 5, [](const Grid& g) { return RefDilate(g, 5); }},
        ReferenceCase{"Dilate7", &MorphologyEngine::dilate, 7, [](const Grid& g) { return RefDilate(g, 7); }},
        ReferenceCase{"Open1", &MorphologyEngine::open, 1, [](const Grid& g) { return RefOpen(g, 1); }},
        ReferenceCase{"Open2", &MorphologyEngine::open, 2, [](const Grid& g) { return RefOpen(g, 2); }},
        ReferenceCase{"Open4", &MorphologyEngine::open, 4, [](const Grid& g) { return RefOpen(g, 4); }},
        ReferenceCase{"Close1", &MorphologyEngine::close, 1, [](const Grid& g) { return RefClose(g, 1); }},
        ReferenceCase{"Close3", &MorphologyEngine::close, 3, [](const Grid& g) { return RefClose(g, 3); }},
        ReferenceCase{"Close5", &MorphologyEngine::close, 5, [](const Grid& g) { return RefClose(g, 5); }},
        ReferenceCase{"Pattern", &MorphologyEngine::smooth, 1, RefPattern},
        ReferenceCase{"Gaps2", &MorphologyEngine::smooth, 2, [](const Grid& g) { return RefFillGaps(g, 2); }},
        ReferenceCase{"Gaps3", &MorphologyEngine::smooth, 3, [](const Grid& g) { return RefFillGaps(g, 3); }},
        ReferenceCase{"Gaps5", &MorphologyEngine::smooth, 5, [](const Grid& g) { return RefFillGaps(g, 5); }}),
    [](const auto& info) { return std::string(info.param.name); });

Grid Dot(int w, int h, int x, int y) {
    Grid g(w, h);
    g.at(x, y) = 0;
    return g;
}

// Also on the middle rows, where a scan from the top and one from the bottom
// would meet: every black pixel paints exactly its window.
TEST(MorphologyEngineTest, DilationByTwoMakesACentredThreeByThreeSquareOnEveryRow) {
    for (int y : {6, 15, 16, 17, 25}) {  // the middle rows too
        Grid expected(30, 32);
        expected.fillRect(11, y - 1, 3, 3, 0);
        EXPECT_EQ(Apply(&MorphologyEngine::dilate, Dot(30, 32, 12, y), 2), expected) << y;
    }
}

TEST(MorphologyEngineTest, GapFillingClosesAVerticalDentInASideEdge) {
    Grid bar(40, 40);
    bar.fillRect(12, 5, 10, 30, 0);
    Grid dented = bar;
    dented.at(12, 18) = dented.at(12, 19) = 1;  // two pixels missing from the left edge
    EXPECT_EQ(Apply(&MorphologyEngine::smooth, dented, 3), bar);
}

struct BadSizeCase {
    const char* name;
    Member member;
    int size;
};

class MorphologyBadSizeTest : public ::testing::TestWithParam<BadSizeCase> {};

TEST_P(MorphologyBadSizeTest, RefusesWithInvalidParameterAndLeavesThePage) {
    const Grid input = RandomGrid(32, 32, 0.3, 7);
    LibraryPage page(input);
    MorphologyEngine engine;
    try {
        (engine.*GetParam().member)(page.dib(), GetParam().size);
        FAIL() << "no exception";
    } catch (const CZRException& e) {
        EXPECT_EQ(e.Error(), CZRException::FromMessageId(2166));
    }
    EXPECT_EQ(page.read(), input);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MorphologyBadSizeTest,
                         ::testing::Values(BadSizeCase{"Erode6", &MorphologyEngine::erode, 6},
                                           BadSizeCase{"Erode0", &MorphologyEngine::erode, 0},
                                           BadSizeCase{"Open6", &MorphologyEngine::open, 6},
                                           BadSizeCase{"CloseMinus1", &MorphologyEngine::close, -1},
                                           BadSizeCase{"Smooth6", &MorphologyEngine::smooth, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MorphologyEngineTest, NullOrNonBlackAndWhiteDibIsRefusedWith2160) {
    MorphologyEngine engine;
    LibraryPage grey(16, 16, 8);
    for (BITMAPINFOHEADER* dib : {static_cast<BITMAPINFOHEADER*>(nullptr), grey.dib()}) {
        try {
            engine.dilate(dib, 2);
            FAIL() << "no exception";
        } catch (const CZRException& e) {
            EXPECT_EQ(e.Error(), CZRException::FromMessageId(2160));
        }
    }
}

// Pages smaller than every window: each member runs (under the address
// sanitizer) and changes at most what its rule reaches.
TEST(MorphologyEngineTest, TinyPagesAreHandledWithoutStrayAccess) {
    const Member members[] = {&MorphologyEngine::erode, &MorphologyEngine::dilate, &MorphologyEngine::open,
                              &MorphologyEngine::close, &MorphologyEngine::smooth};
    for (int w = 1; w <= 12; ++w)
        for (int h = 1; h <= 12; ++h) {
            const Grid input = RandomGrid(w, h, 0.5, static_cast<unsigned>(w * 100 + h));
            for (Member member : members)
                for (int size = 1; size <= 5; ++size) {
                    const Grid out = Apply(member, input, size);
                    EXPECT_EQ(out.width, w);
                }
            // Fully black tiny pages stay black under erosion: nothing is interior.
            if (w <= 3 || h <= 4) {
                const Grid black(w, h, 0);
                EXPECT_EQ(Apply(&MorphologyEngine::erode, black, 1), black);
            }
        }
}

TEST(MorphologyEngineTest, PagesWiderThanTheTablesGrowThemAndMatchTheRule) {
    MorphologyEngine engine;
    EXPECT_EQ(engine.tableColumns(), 3000);
    const Grid input = RandomGrid(3107, 12, 0.3, 11, true);
    LibraryPage page(input);
    engine.smooth(page.dib(), 1);
    EXPECT_EQ(engine.tableColumns(), 2 * 3107);
    EXPECT_EQ(page.read(), RefPattern(input));
}

}  // namespace
