// Checks that SyntheticPage draws exactly what its GroundTruth reports. Cost: a few small pages.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <stdexcept>

#include "tools/synthpage/SyntheticPage.h"

namespace leafmend::synthpage {
namespace {

PageOptions SmallPage() {
    PageOptions o;
    o.width = 700;
    o.height = 900;
    o.dpi = 100;
    return o;
}

PageOptions BlankPage() {
    PageOptions o = SmallPage();
    o.paragraphs = {" "};
    return o;
}

int InkIn(Pix* pix, const Rect& r) {
    BOX* box = boxCreate(r.x, r.y, r.w, r.h);
    Pix* part = pixClipRectangle(pix, box, nullptr);
    boxDestroy(&box);
    l_int32 count = 0;
    pixCountPixels(part, &count, nullptr);
    pixDestroy(&part);
    return count;
}

bool Black(Pix* pix, int x, int y) {
    l_uint32 v = 0;
    pixGetPixel(pix, x, y, &v);
    return v == 1;
}

TEST(SyntheticPageTest, TextLinesHaveInkAndNothingLiesOutsideTheTextArea) {
    PageOptions o = SmallPage();
    o.heading = "A Heading";
    GroundTruth gt;
    PixPtr pix(RenderPage(o, &gt));
    ASSERT_GT(gt.lines.size(), 10u);
    EXPECT_TRUE(gt.lines.front().heading);
    for (const TextLine& line : gt.lines) {
        EXPECT_GT(InkIn(pix.get(), line.box), line.box.w) << line.text;
        EXPECT_GE(line.box.x, gt.textArea.x);
        EXPECT_LE(line.box.Right(), gt.textArea.Right());
        EXPECT_LE(line.box.Bottom(), gt.textArea.Bottom());
    }
    l_int32 total = 0;
    pixCountPixels(pix.get(), &total, nullptr);
    EXPECT_EQ(total, InkIn(pix.get(), gt.textArea));
}

TEST(SyntheticPageTest, KeepsPageSizeAndResolutionWithAndWithoutSkew) {
    for (double skew : {0.0, -9.5, 9.5}) {
        PageOptions o = SmallPage();
        o.skewDegrees = skew;
        PixPtr pix(RenderPage(o));
        EXPECT_EQ(pixGetWidth(pix.get()), 700);
        EXPECT_EQ(pixGetHeight(pix.get()), 900);
        EXPECT_EQ(pixGetDepth(pix.get()), 1);
        EXPECT_EQ(pixGetXRes(pix.get()), 100);
    }
}

TEST(SyntheticPageTest, SpecksAreIsolatedComponentsOfTheReportedSize) {
    for (SpeckShape shape : {SpeckShape::Square, SpeckShape::Round}) {
        PageOptions o = SmallPage();
        o.skewDegrees = 1.5;
        o.specks = {20, {1, 2, 3, 4, 6}, shape, 0, 5};
        GroundTruth gt;
        PixPtr pix(RenderPage(o, &gt));
        ASSERT_EQ(gt.specks.size(), 20u);
        BOXA* boxes = pixConnComp(pix.get(), nullptr, 8);
        for (const Speck& s : gt.specks) {
            bool found = false;
            for (l_int32 i = 0; i < boxaGetCount(boxes) && !found; ++i) {
                l_int32 x, y, w, h;
                boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
                found = Rect{x, y, w, h} == s.box;
            }
            EXPECT_TRUE(found) << "speck at " << s.box.x << "," << s.box.y;
            EXPECT_EQ(InkIn(pix.get(), s.box), s.area);
        }
        boxaDestroy(&boxes);
    }
}

TEST(SyntheticPageTest, RulesHaveExactlyTheirThickness) {
    PageOptions o = SmallPage();
    o.rules = {RuleLine::Horizontal(400, 75, 625, 3), RuleLine::Vertical(30, 100, 800, 2)};
    GroundTruth gt;
    PixPtr pix(RenderPage(o, &gt));
    for (int x = 75; x < 625; ++x) {
        EXPECT_FALSE(Black(pix.get(), x, 399));
        for (int y = 400; y < 403; ++y) EXPECT_TRUE(Black(pix.get(), x, y));
        EXPECT_FALSE(Black(pix.get(), x, 403));
    }
    for (int y = 100; y < 800; ++y) {
        EXPECT_FALSE(Black(pix.get(), 29, y));
        EXPECT_TRUE(Black(pix.get(), 30, y) && Black(pix.get(), 31, y));
        EXPECT_FALSE(Black(pix.get(), 32, y));
    }
}

TEST(SyntheticPageTest, BorderHasTheReportedWidths) {
    PageOptions o = BlankPage();
    o.border = {7, 5, 9, 3};
    PixPtr pix(RenderPage(o));
    EXPECT_EQ(InkIn(pix.get(), {0, 0, 700, 900}), 700 * 900 - (700 - 16) * (900 - 8));
    EXPECT_EQ(InkIn(pix.get(), {7, 5, 700 - 16, 900 - 8}), 0);
}

TEST(SyntheticPageTest, SkewMovesContentWhereToImageSays) {
    for (double skew : {4.0, -4.0}) {
        PageOptions o = BlankPage();
        o.skewDegrees = skew;
        o.rules = {RuleLine::Horizontal(200, 100, 600, 5)};
        GroundTruth gt;
        PixPtr pix(RenderPage(o, &gt));
        for (double x : {120.0, 350.0, 580.0}) {
            const auto [ix, iy] = gt.ToImage(x, 202.5);
            EXPECT_TRUE(Black(pix.get(), static_cast<int>(ix), static_cast<int>(iy))) << skew << " " << x;
            const auto [ox, oy] = gt.ToImage(x, 190.0);
            EXPECT_FALSE(Black(pix.get(), static_cast<int>(ox), static_cast<int>(oy))) << skew << " " << x;
        }
        // Clockwise: the right end of the rule goes down for positive angles.
        EXPECT_EQ(gt.ToImage(580, 202.5).second > gt.ToImage(120, 202.5).second, skew > 0);
    }
}

TEST(SyntheticPageTest, GreyAndColourShadesAndDeterminism) {
    PageOptions o = BlankPage();
    o.depth = 8;
    o.shade = ShadedBox{{100, 100, 200, 100}, 190, 0x336699};
    PixPtr a(RenderPage(o));
    PixPtr b(RenderPage(o));
    l_int32 same = 0;
    pixEqual(a.get(), b.get(), &same);
    EXPECT_TRUE(same);
    l_uint32 v = 0;
    pixGetPixel(a.get(), 150, 150, &v);
    EXPECT_EQ(v, 190u);
    o.depth = 32;
    PixPtr c(RenderPage(o));
    pixGetPixel(c.get(), 150, 150, &v);
    EXPECT_EQ(v >> 8, 0x336699u);
}

TEST(SyntheticPageTest, RejectsImpossibleOptions) {
    PageOptions o = SmallPage();
    o.depth = 4;
    EXPECT_THROW(SyntheticPage{o}, std::invalid_argument);
    o = SmallPage();
    o.marginLeft = 680;
    EXPECT_THROW(SyntheticPage{o}, std::invalid_argument);
}

}  // namespace
}  // namespace leafmend::synthpage
