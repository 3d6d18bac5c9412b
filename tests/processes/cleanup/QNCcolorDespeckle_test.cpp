// The grey and colour despeckle on pages drawn in code: which windows act,
// the painted tone (mean of the ring, or the colour of the ring pixel whose
// grey level is nearest that mean), and pages too small for a window.
#include "processes/cleanup/QNCcolorDespeckle.h"
#include "tests/processes/cleanup/DespecklePages.h"

#include <gtest/gtest.h>

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

}  // namespace
