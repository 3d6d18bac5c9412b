// The grey and colour despeckle on pages drawn in code: which windows act,
// the painted tone (mean of the ring, or the colour of the ring pixel whose
// grey level is nearest that mean), and pages too small for a window.
#include "processes/cleanup/QNCcolorDespeckle.h"
#include "tests/processes/cleanup/DespecklePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

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

struct NoisyCase {
    int bits;
    int size;
    int width, height;
};

class DirectComparisonTest : public ::testing::TestWithParam<NoisyCase> {};

// Light paper with a little noise, dark specks of several sizes and a few
// dark strokes: every kind of decision happens somewhere.
TEST_P(DirectComparisonTest, IncrementalWindowGivesTheSamePixelsAsWindowsComputedAfresh) {
    const NoisyCase& c = GetParam();
    TestPage page(c.width, c.height, c.bits);
    std::mt19937 random(static_cast<unsigned>(c.size * 7 + c.bits));
    std::uniform_int_distribution<int> noise(-4, 4);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const int v = 200 + noise(random) + (x / 37 % 2) * 20;
            page.image().setPixel(x, y, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v - 3 * (x % 3)),
                                  static_cast<std::uint8_t>(v + 2 * (y % 5)));
        }
    std::uniform_int_distribution<int> px(0, c.width - 6), py(0, c.height - 6), side(1, 5);
    for (int i = 0; i < c.width * c.height / 150; ++i)
        page.blackRect(px(random), py(random), side(random), side(random));
    page.blackRect(5, c.height / 2, c.width - 10, 2);
    const std::vector<std::uint32_t> expected = DirectDespeckle(page, c.size);
    Despeckle(page, c.size);
    EXPECT_EQ(page.pixels(), expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, DirectComparisonTest,
                         ::testing::Values(NoisyCase{8, 1, 120, 90}, NoisyCase{8, 2, 97, 64}, NoisyCase{8, 3, 150, 80},
                                           NoisyCase{8, 5, 130, 101}, NoisyCase{24, 1, 120, 90},
                                           NoisyCase{24, 2, 97, 64}, NoisyCase{24, 4, 150, 80},
                                           NoisyCase{24, 7, 130, 101}));

}  // namespace
