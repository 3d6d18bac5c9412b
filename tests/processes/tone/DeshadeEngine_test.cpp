// The deshade engine on 1-bit pages drawn in code: what load accepts, the
// cell grid, the map clean-up, the shade filter on dots and strokes, and
// whole runs on blank, checkerboard and shaded pages with text strokes.
#include "processes/tone/DeshadeEngine.h"

#include "image/PixelImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A 1-bit page, white, with `black(x, y)` pixels black.
PixelImage Page(int width, int height, const std::function<bool(int, int)>& black = nullptr) {
    PixelImage page(width, height, 1, true);
    if (black)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (black(x, y)) page.setPixel(x, y, 0);
    return page;
}

std::vector<bool> Pixels(const PixelImage& page) {
    std::vector<bool> white;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) white.push_back(page.isWhite(x, y));
    return white;
}

int BlackCount(const PixelImage& page, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += !page.isWhite(x, y);
    return n;
}

bool Checker(int x, int y) { return (x + y) % 2 == 0; }

TEST(DeshadeLoad, AcceptsOnlyOneBitHeadersOfFortyBytes) {
    DeshadeEngine engine;
    EXPECT_EQ(engine.load(nullptr), -1);
    PixelImage grey(120, 120, 8, true);
    EXPECT_EQ(engine.load(grey.header()), -2);
    PixelImage colour(120, 120, 24, true);
    EXPECT_EQ(engine.load(colour.header()), -2);
    PixelImage page = Page(120, 120);
    page.header()->biSize = 41;
    EXPECT_EQ(engine.load(page.header()), -1);
    page.header()->biSize = 40;
    page.header()->biHeight = -120;  // top-down rows
    EXPECT_EQ(engine.load(page.header()), -1);
    page.header()->biHeight = 120;
    EXPECT_EQ(engine.load(page.header()), 0);
}

struct GridCase {
    int width, height;
    int cellWidth, cellHeight, columns, rows;
};

class DeshadeGridTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(DeshadeGridTest, CellsAreAHundredthOfThePage) {
    const GridCase& c = GetParam();
    PixelImage page = Page(c.width, c.height);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.classify());
    EXPECT_EQ(engine.cellWidth(), c.cellWidth);
    EXPECT_EQ(engine.cellHeight(), c.cellHeight);
    EXPECT_EQ(engine.cellColumns(), c.columns);
    EXPECT_EQ(engine.cellRows(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DeshadeGridTest,
                         ::testing::Values(GridCase{100, 100, 1, 1, 100, 100}, GridCase{2551, 120, 25, 1, 102, 120},
                                           GridCase{2480, 3508, 24, 35, 103, 100}, GridCase{199, 350, 1, 3, 199, 116}));

TEST(DeshadeRun, PagesUnderAHundredPixelsAreLeftAsTheyAre) {
    for (auto [w, h] : {std::pair{99, 400}, {400, 99}, {8, 1}}) {
        PixelImage page = Page(w, h, Checker);
        const std::vector<bool> before = Pixels(page);
        DeshadeEngine engine;
        ASSERT_EQ(engine.load(page.header()), 0);
        EXPECT_FALSE(engine.run()) << w << "x" << h;
        EXPECT_EQ(Pixels(page), before) << w << "x" << h;
    }
}

TEST(DeshadeRun, BlankPageComesBackUnchanged) {
    PixelImage page = Page(300, 200);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.run());
    EXPECT_EQ(BlackCount(page, 0, 300, 0, 200), 0);
    for (std::uint8_t cell : engine.cellMap()) ASSERT_LT(cell, DeshadeEngine::kShadedFrom);
}

TEST(DeshadeRun, CheckerboardIsShadedEverywhereAndBecomesWhite) {
    PixelImage page = Page(320, 240, Checker);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.run());
    for (std::uint8_t cell : engine.cellMap()) ASSERT_GE(cell, DeshadeEngine::kShadedFrom);
    EXPECT_EQ(BlackCount(page, 0, 320, 0, 240), 0);
}

// Without shading the page comes back bit for bit except the columns and
// rows that no whole cell covers: 2551 pixels make 102 cells of 25, and
// column 2550 turns white; 301 rows make 100 cells of 3, and row 300 does.
TEST(DeshadeRun, PlainPageKeepsItsPixelsExceptPastTheLastWholeCell) {
    const auto text = [](int x, int y) { return (x % 40 < 3 && y % 50 < 30) || x == 2550 || y == 300; };
    PixelImage page = Page(2551, 301, text);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.run());
    ASSERT_EQ(engine.cellHeight(), 3);
    for (int y = 0; y < 301; ++y)
        for (int x = 0; x < 2551; ++x) {
            const bool covered = x < 2550 && y < 300;
            ASSERT_EQ(page.isWhite(x, y), !(covered && text(x, y))) << x << "," << y;
        }
}

// --- the map clean-up ---

struct CleanCase {
    const char* name;
    int blockSide;  // a square of `from` cells in a field of the other value
    bool becomes;   // the block takes the `to` value
};

class CleanMapTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanMapTest, GroupsUnderTwentyFiveCellsJoinTheirSurroundings) {
    const int side = GetParam().blockSide;
    for (auto [from, to] : {std::pair<std::uint8_t, std::uint8_t>{200, 100}, {100, 200}}) {
        const std::uint8_t field = to;
        std::vector<std::uint8_t> cells(20 * 12, field);
        for (int r = 2; r < 2 + side; ++r)
            for (int c = 3; c < 3 + side; ++c) cells[static_cast<std::size_t>(r) * 20 + c] = from;
        // The field itself is one large group of another value: untouched.
        DeshadeEngine::cleanMap(cells, 20, 12, from, to, 25);
        const std::uint8_t expected = GetParam().becomes ? to : static_cast<std::uint8_t>(from - 1);
        for (int r = 0; r < 12; ++r)
            for (int c = 0; c < 20; ++c) {
                const bool inBlock = r >= 2 && r < 2 + side && c >= 3 && c < 3 + side;
                ASSERT_EQ(cells[static_cast<std::size_t>(r) * 20 + c], inBlock ? expected : field)
                    << int(from) << " " << r << "," << c;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, CleanMapTest,
                         ::testing::Values(CleanCase{"One", 1, true}, CleanCase{"FourByFour", 4, true},
                                           CleanCase{"FiveByFive", 5, false}, CleanCase{"SevenBySeven", 7, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CleanMap, DiagonalCellsAreSeparateGroups) {
    // 30 cells on a diagonal touch only at corners: 30 groups of one.
    std::vector<std::uint8_t> cells(30 * 30, 100);
    for (int i = 0; i < 30; ++i) cells[static_cast<std::size_t>(i) * 30 + i] = 200;
    DeshadeEngine::cleanMap(cells, 30, 30, 200, 100, 25);
    for (std::uint8_t cell : cells) ASSERT_EQ(cell, 100);
}

// --- the shade filter ---

TEST(ShadeFilter, DotsAndThinStrokesGoStrokesOfFourStay) {
    const int width = 100, height = 60, stride = 16;
    std::vector<std::uint8_t> image(static_cast<std::size_t>(stride) * height, 0xFF);
    std::vector<std::uint8_t> scratch(image.size());
    auto black = [&](int x, int y) { image[static_cast<std::size_t>(y) * stride + x / 8] &= ~(0x80 >> (x % 8)); };
    auto isWhite = [&](int x, int y) {
        return (image[static_cast<std::size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1;
    };
    black(5, 5);                                               // 1-pixel dot
    for (int y = 10; y < 12; ++y) black(20, y), black(21, y);  // 2 x 2 dot
    for (int x = 10; x < 90; ++x)
        for (int y = 20; y < 23; ++y) black(x, y);  // stroke 3 thick
    for (int x = 10; x < 90; ++x)
        for (int y = 30; y < 34; ++y) black(x, y);  // stroke 4 thick
    for (int x = 0; x < 3; ++x)
        for (int y = 57; y < 60; ++y) black(x, y);  // 3 x 3 block in the page's corner
    DeshadeEngine::shadeFilter(image.data(), scratch.data(), stride, width, height);
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < width; ++x) ASSERT_TRUE(isWhite(x, y)) << x << "," << y;
    // Thickening grows back a diamond: the stroke keeps its four rows but
    // loses its four corner pixels.
    for (int x = 9; x < 91; ++x)
        for (int y = 28; y < 36; ++y) {
            const bool corner = (x == 10 || x == 89) && (y == 30 || y == 33);
            const bool stroke = x >= 10 && x < 90 && y >= 30 && y < 34 && !corner;
            ASSERT_EQ(isWhite(x, y), !stroke) << x << "," << y;
        }
    // Outside the page counts as white: the corner block thins from its page
    // sides too and goes like any other 3-pixel stroke.
    for (int x = 0; x < width; ++x)
        for (int y = 36; y < height; ++y) ASSERT_TRUE(isWhite(x, y)) << x << "," << y;
}

// --- whole runs on shaded pages ---

// A 400 x 400 page: a checkerboard over the middle 300 x 300, one stroke 4
// pixels thick and one 3 thick across the shading.
TEST(DeshadeRun, StrokeOfFourSurvivesOnShadingAndOneOfThreeGoes) {
    const auto content = [](int x, int y) {
        const bool shade = x >= 50 && x < 350 && y >= 50 && y < 350 && Checker(x, y);
        const bool thick = x >= 80 && x < 320 && y >= 150 && y < 154;
        const bool thin = x >= 80 && x < 320 && y >= 250 && y < 253;
        return shade || thick || thin;
    };
    PixelImage page = Page(400, 400, content);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.run());
    // Thick stroke: rows 150..153 black along its inner length, nothing above or below.
    for (int x = 90; x < 310; ++x) {
        for (int y = 146; y < 158; ++y) ASSERT_EQ(page.isWhite(x, y), !(y >= 150 && y < 154)) << x << "," << y;
        for (int y = 240; y < 260; ++y) ASSERT_TRUE(page.isWhite(x, y)) << x << "," << y;
    }
    // Away from the strokes the shaded area is white.
    EXPECT_EQ(BlackCount(page, 50, 350, 50, 140), 0);
    EXPECT_EQ(BlackCount(page, 50, 350, 270, 350), 0);
}

TEST(DeshadeRun, SmallShadedPatchIsTakenForPlainAndKept) {
    // 4 x 4 cells of checkerboard (16 < 25): plain, kept bit for bit.
    const auto content = [](int x, int y) { return x >= 100 && x < 116 && y >= 100 && y < 116 && Checker(x, y); };
    PixelImage page = Page(400, 400, content);
    DeshadeEngine engine;
    ASSERT_EQ(engine.load(page.header()), 0);
    ASSERT_TRUE(engine.run());
    for (int y = 90; y < 126; ++y)
        for (int x = 90; x < 126; ++x) ASSERT_EQ(page.isWhite(x, y), !content(x, y)) << x << "," << y;
}

TEST(DeshadeRun, EngineServesPagesOfGrowingWidth) {
    DeshadeEngine engine;
    for (int width : {200, 3500, 7000}) {
        PixelImage page = Page(width, 240, Checker);
        ASSERT_EQ(engine.load(page.header()), 0);
        ASSERT_TRUE(engine.run());
        EXPECT_EQ(BlackCount(page, 0, width, 0, 240), 0) << width;
    }
}

}  // namespace
