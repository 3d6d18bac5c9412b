// The grey and colour despeckle on pages drawn in code: which windows act,
// the painted tone (mean of the ring, or the colour of the ring pixel whose
// grey level is nearest that mean), pages too small for a window, and both
// engines (row at a time, column by column) against every window computed
// afresh on random pages, at the page edges and in the turned view.
#include "processes/cleanup/QNCcolorDespeckle.h"
#include "tests/processes/cleanup/DespecklePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <tuple>
#include <utility>

namespace {

using despeckle_test::TestPage;

void Despeckle(TestPage& page, int size) {
    QNCcolorDespeckle engine(page.image(), size + 2, size);
    engine.run();
    engine.writeBack();
}

std::uint32_t Rgb(int r, int g, int b) { return static_cast<std::uint32_t>(r << 16 | g << 8 | b); }

class GreyAndColourTest : public ::testing::TestWithParam<int> {};

TEST_P(GreyAndColourTest, BlackPixelOnEvenLevel200BecomesTheLevel) {
    TestPage page(40, 30, GetParam());
    page.fill(200, 200, 200);
    page.black(17, 11);
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(17, 11), Rgb(200, 200, 200));
    for (std::uint32_t c : page.pixels()) ASSERT_EQ(c, Rgb(200, 200, 200));
}

TEST_P(GreyAndColourTest, SizeZeroChangesNothing) {
    TestPage page(40, 30, GetParam());
    page.fill(200, 200, 200);
    page.black(17, 11);
    page.blackRect(30, 20, 2, 2);
    const auto before = page.pixels();
    Despeckle(page, 0);
    EXPECT_EQ(page.pixels(), before);
}

TEST_P(GreyAndColourTest, SpeckOnUnevenRingStays) {
    TestPage page(40, 30, GetParam());
    page.fill(200, 200, 200);
    for (int y = 0; y < 30; ++y)
        for (int x = (y % 2); x < 40; x += 2) page.image().setPixel(x, y, 160, 160, 160);  // variance 400
    page.black(17, 11);
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(17, 11), 0u);
}

TEST_P(GreyAndColourTest, LightSpotIsKeptAndFaintOneFlattened) {
    TestPage page(40, 30, GetParam());
    page.fill(100, 100, 100);
    page.image().setPixel(10, 10, 150, 150, 150);  // lighter than the ring: no speck
    page.image().setPixel(25, 15, 95, 95, 95);     // within 10 of the ring: painted over
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(10, 10), Rgb(150, 150, 150));
    EXPECT_EQ(page.colour(25, 15), Rgb(100, 100, 100));
}

TEST_P(GreyAndColourTest, SpeckTouchingTheEdgeIsNeverACentre) {
    TestPage page(20, 20, GetParam());
    page.fill(200, 200, 200);
    page.black(0, 7);
    page.black(19, 19);
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(0, 7), 0u);
    EXPECT_EQ(page.colour(19, 19), 0u);
}

TEST_P(GreyAndColourTest, PagesSmallerThanTheWindowAreLeftAlone) {
    for (int size : {1, 3, 7, 100000}) {
        TestPage page(8, 2, GetParam());
        page.fill(200, 200, 200);
        page.black(3, 1);
        const auto before = page.pixels();
        Despeckle(page, size);
        EXPECT_EQ(page.pixels(), before) << size;
    }
}

// A 3 x 3 speck inside the 4 x 4 centre of "SIZE" 4: rows are visited two
// at a time, and one of the two windows that hold it is always visited.
TEST_P(GreyAndColourTest, SizeFourRemovesThreeByThreeSpeckAtEitherRowParity) {
    for (int top : {10, 11}) {
        TestPage page(40, 40, GetParam());
        page.fill(180, 180, 180);
        page.blackRect(15, top, 3, 3);
        Despeckle(page, 4);
        for (std::uint32_t c : page.pixels()) ASSERT_EQ(c, Rgb(180, 180, 180)) << top;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, GreyAndColourTest, ::testing::Values(8, 24));

// Ring 7 x 200 and one 205: mean (4 + 1605) / 8 = 201, variance 175 / 64 = 2.
TEST(GreyDespeckleTest, PaintsTheRoundedMeanOfTheRing) {
    TestPage page(30, 30, 8);
    page.fill(200, 200, 200);
    page.black(10, 10);
    page.image().setPixel(11, 9, 205, 205, 205);
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(10, 10), Rgb(201, 201, 201));
    // Its own window sees the black pixel in its ring, so it stays.
    EXPECT_EQ(page.colour(11, 9), Rgb(205, 205, 205));
}

// Ring of four pixels at grey 200 and four at grey 202: mean 201; level 202
// is tried before 200, and the first ring pixel of that level, in ring order
// (top row first), gives the colour.
TEST(ColourDespeckleTest, PaintsTheFirstRingColourOfTheNearestLevelTryingUpwardsFirst) {
    TestPage page(30, 30, 24);
    page.fill(200, 200, 200);
    ASSERT_EQ(QNCcolorDespeckle::GreyOf(210, 198, 202), 202);
    page.black(10, 10);
    page.image().setPixel(11, 9, 210, 198, 202);  // top row, third
    page.image().setPixel(9, 10, 202, 202, 202);  // left column
    page.image().setPixel(9, 11, 202, 202, 202);  // bottom row
    page.image().setPixel(10, 11, 202, 202, 202);
    Despeckle(page, 1);
    EXPECT_EQ(page.colour(10, 10), Rgb(210, 198, 202));
}

TEST(ColourDespeckleTest, PaintsTheBackgroundColourNotItsGrey) {
    TestPage page(40, 40, 24);
    page.fill(230, 190, 120);
    page.blackRect(20, 20, 2, 2);
    Despeckle(page, 2);
    for (std::uint32_t c : page.pixels()) ASSERT_EQ(c, Rgb(230, 190, 120));
}

// Every window computed from scratch, straight from the description of the
// method: the incremental ring statistics must give the same pixels.
std::vector<std::uint32_t> DirectDespeckle(const TestPage& page, int n) {
    const int m = n + 2;
    const int w = page.width();
    const int h = page.height();
    const bool colour = page.bits() == 24;
    std::vector<std::uint32_t> source = page.pixels();
    std::vector<int> grey(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        const std::uint32_t c = source[i];
        grey[i] =
            colour ? QNCcolorDespeckle::GreyOf(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF) : static_cast<int>(c & 0xFF);
    }
    std::vector<std::uint32_t> out = source;
    const int step = n > 1 ? n / 2 : 1;
    for (int y = 0; y + m <= h; y += step) {
        int nextAllowed = 0;
        for (int x = 0; x + m <= w; ++x) {
            std::vector<std::size_t> ring;  // in ring order
            for (int c = x; c < x + m; ++c) ring.push_back(static_cast<std::size_t>(y * w + c));
            for (int r = y + 1; r < y + m - 1; ++r) ring.push_back(static_cast<std::size_t>(r * w + x));
            for (int c = x; c < x + m; ++c) ring.push_back(static_cast<std::size_t>((y + m - 1) * w + c));
            for (int r = y + 1; r < y + m - 1; ++r) ring.push_back(static_cast<std::size_t>(r * w + x + m - 1));
            std::uint64_t sum = 0, squares = 0;
            int low = 255;
            for (std::size_t i : ring) {
                sum += static_cast<std::uint64_t>(grey[i]);
                squares += static_cast<std::uint64_t>(grey[i] * grey[i]);
                low = std::min(low, grey[i]);
            }
            const std::uint64_t k = ring.size();
            const int centre = grey[static_cast<std::size_t>((y + (m - 1) / 2) * w + x + (m - 1) / 2)];
            if (!(centre + 30 < low || std::abs(centre - low) < 10)) continue;
            if ((k * squares - sum * sum) / (k * k) >= 100 || x < nextAllowed) continue;
            const auto mean = static_cast<int>((k / 2 + sum) / k);
            std::uint32_t paint = static_cast<std::uint32_t>(mean * 0x010101);
            if (colour) {
                bool found = false;
                for (int d = 0; d < 256 && !found; ++d) {
                    for (int level : {(mean + d) & 0xFF, (mean - d) & 0xFF}) {
                        for (std::size_t i : ring) {
                            if (grey[i] == level) {
                                paint = source[i];
                                found = true;
                                break;
                            }
                        }
                        if (found) break;
                    }
                }
            }
            for (int r = y + 1; r < y + 1 + n; ++r)
                for (int c = x + 1; c < x + 1 + n; ++c) out[static_cast<std::size_t>(r * w + c)] = paint;
            nextAllowed = x + step;
        }
    }
    return out;
}

// Light paper with a little noise, dark specks of several sizes and a dark
// stroke: every kind of decision happens somewhere.
void DrawNoisyPage(TestPage& page, unsigned seed) {
    const int w = page.width();
    const int h = page.height();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-4, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = 200 + noise(random) + (x / 37 % 2) * 20;
            page.image().setPixel(x, y, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v - 3 * (x % 3)),
                                  static_cast<std::uint8_t>(v + 2 * (y % 5)));
        }
    if (w < 8 || h < 8) return;
    std::uniform_int_distribution<int> px(0, w - 6), py(0, h - 6), side(1, 5);
    for (int i = 0; i < w * h / 150; ++i) page.blackRect(px(random), py(random), side(random), side(random));
    page.blackRect(5, h / 2, w - 10, 2);
}

// Patches of even paper at random levels (dark and light), noise of random
// strength, specks: decisions on every side of the margins and the variance.
void DrawPatchyPage(TestPage& page, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, 255), strength(0, 12), pick(0, 99);
    const int w = page.width();
    const int h = page.height();
    for (int top = 0; top < h; top += 9) {
        for (int left = 0; left < w; left += 11) {
            const int base = level(random);
            const int spread = strength(random);
            std::uniform_int_distribution<int> noise(-spread, spread);
            for (int y = top; y < std::min(h, top + 9); ++y)
                for (int x = left; x < std::min(w, left + 11); ++x) {
                    const int v = std::clamp(base + noise(random), 0, 255);
                    const int dot = pick(random);
                    const auto g = static_cast<std::uint8_t>(dot < 3 ? v / 4 : dot < 5 ? 255 - v / 3 : v);
                    page.image().setPixel(x, y, g, static_cast<std::uint8_t>(std::clamp(g + noise(random), 0, 255)),
                                          static_cast<std::uint8_t>(255 - g / 2));
                }
        }
    }
}

struct NoisyCase {
    int bits;
    int size;
    int width, height;
};

class DirectComparisonTest : public ::testing::TestWithParam<NoisyCase> {};

TEST_P(DirectComparisonTest, IncrementalWindowGivesTheSamePixelsAsWindowsComputedAfresh) {
    const NoisyCase& c = GetParam();
    TestPage page(c.width, c.height, c.bits);
    DrawNoisyPage(page, static_cast<unsigned>(c.size * 7 + c.bits));
    const std::vector<std::uint32_t> expected = DirectDespeckle(page, c.size);
    Despeckle(page, c.size);
    EXPECT_EQ(page.pixels(), expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, DirectComparisonTest,
                         ::testing::Values(NoisyCase{8, 1, 120, 90}, NoisyCase{8, 2, 97, 64}, NoisyCase{8, 3, 150, 80},
                                           NoisyCase{8, 5, 130, 101}, NoisyCase{24, 1, 120, 90},
                                           NoisyCase{24, 2, 97, 64}, NoisyCase{24, 4, 150, 80},
                                           NoisyCase{24, 7, 130, 101}));

// Every "SIZE" from 0 to 6 at both depths, on odd page sizes, on pages exactly
// one window wide or high, and on the smallest pages the image takes.
class RandomPageTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RandomPageTest, EverySizeAndShapeGivesThePixelsOfWindowsComputedAfresh) {
    const auto [bits, size] = GetParam();
    const int m = size + 2;
    const std::pair<int, int> shapes[] = {
        {67, 53}, {8, 1}, {8, m}, {std::max(8, m), m + 1}, {std::max(8, m), 31}, {41, m}, {m + 9, m + 2}, {200, 17}};
    unsigned seed = static_cast<unsigned>(bits * 100 + size);
    for (const auto& [w, h] : shapes) {
        for (int pattern = 0; pattern < 2; ++pattern) {
            TestPage page(w, h, bits);
            if (pattern == 0)
                DrawPatchyPage(page, ++seed);
            else
                DrawNoisyPage(page, ++seed);
            const std::vector<std::uint32_t> expected = DirectDespeckle(page, size);
            Despeckle(page, size);
            ASSERT_EQ(page.pixels(), expected) << w << " x " << h << " pattern " << pattern;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SizesAndDepths, RandomPageTest,
                         ::testing::Combine(::testing::Values(8, 24), ::testing::Range(0, 7)));

// The widest centre of the row engine and the first of the column-by-column
// engine, where rows advance by 15 and 16 and paints are held apart.
TEST_P(GreyAndColourTest, WideCentresOnEitherEngineGiveThePixelsOfWindowsComputedAfresh) {
    const int widest = QNCcolorDespeckle::kRowEngineMaxSide;
    for (int size : {widest - 1, widest, widest + 1, widest + 6}) {
        TestPage page(150, 120, GetParam());
        page.fill(210, 205, 190);
        DrawNoisyPage(page, static_cast<unsigned>(size));
        // Wide even patches that such windows can paint over.
        for (int y = 60; y < 120; ++y)
            for (int x = 0; x < 150; ++x) page.image().setPixel(x, y, 180, 170, static_cast<std::uint8_t>(160 + x % 3));
        page.blackRect(40, 80, 20, 12);
        page.blackRect(100, 70, 3, 30);
        const std::vector<std::uint32_t> expected = DirectDespeckle(page, size);
        Despeckle(page, size);
        ASSERT_EQ(page.pixels(), expected) << size;
    }
}

// Specks in the last centre column and row a window reaches are painted; the
// outermost column and row never are.
TEST_P(GreyAndColourTest, SpecksAtThePageEdgesAreHandledLikeWindowsComputedAfresh) {
    for (int size : {1, 2, 3}) {
        TestPage page(23, 19, GetParam());
        page.fill(200, 200, 200);
        page.blackRect(23 - 1 - size, 19 - 1 - size, size, size);  // last reachable centre
        page.black(22, 5);                                         // outermost column
        page.black(9, 18);                                         // outermost row
        page.blackRect(1, 1, size, size);                          // first centre
        const std::vector<std::uint32_t> expected = DirectDespeckle(page, size);
        Despeckle(page, size);
        ASSERT_EQ(page.pixels(), expected) << size;
        EXPECT_EQ(page.colour(23 - 1 - size, 19 - 1 - size), Rgb(200, 200, 200)) << size;
        EXPECT_EQ(page.colour(1, 1), Rgb(200, 200, 200)) << size;
        EXPECT_EQ(page.colour(22, 5), 0u) << size;
        EXPECT_EQ(page.colour(9, 18), 0u) << size;
    }
}

// In the turned view the engine reads and writes the page through the view:
// the result is the view of a page despeckled in that orientation.
TEST_P(GreyAndColourTest, TurnedViewGivesThePixelsOfTheTurnedPage) {
    for (int size : {1, 3}) {
        TestPage page(45, 70, GetParam());
        DrawNoisyPage(page, static_cast<unsigned>(size + 40));
        page.image().setRotatedView(true);
        TestPage turned(70, 45, GetParam());
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 70; ++x) {
                std::uint8_t r = 0, g = 0, b = 0;
                page.image().getPixel(x, y, r, g, b);
                turned.image().setPixel(x, y, r, g, b);
            }
        const std::vector<std::uint32_t> expected = DirectDespeckle(turned, size);
        ASSERT_NE(expected, turned.pixels()) << "the page must have something to paint";
        Despeckle(page, size);
        std::vector<std::uint32_t> seen;
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 70; ++x) {
                std::uint8_t r = 0, g = 0, b = 0;
                page.image().getPixel(x, y, r, g, b);
                seen.push_back(static_cast<std::uint32_t>(r << 16 | g << 8 | b));
            }
        EXPECT_EQ(seen, expected) << size;
    }
}

// The row engine's mean by multiplication equals the division for every ring
// it takes (K = 8 .. 128) and every sum a ring can have.
TEST(RoundedMeanTest, MultiplicationEqualsDivisionForEveryRingSum) {
    for (std::uint32_t k = 8; k <= 4 * QNCcolorDespeckle::kRowEngineMaxSide + 4; k += 4) {
        const std::uint32_t reciprocal = QNCcolorDespeckle::MeanReciprocal(k);
        for (std::uint32_t sum = 0; sum <= 255 * k; ++sum)
            ASSERT_EQ(QNCcolorDespeckle::RoundedMean(sum, k, reciprocal), (k / 2 + sum) / k) << k << " " << sum;
    }
}

}  // namespace
