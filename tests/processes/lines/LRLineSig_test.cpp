// The line-removal signature on drawn rules: the column profile and median
// thickness of each piece, the cut at gaps, the labelling of the components
// a rule touches, and lines at the page's edges.
#include "processes/lines/LRLineSig.h"

#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "tests/processes/lines/LinePages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using lines_test::DrawRule;
using lines_test::Page;
using lines_test::SetBlack;

LRLineSig& Configure(LRLineSig& sig, int maxGap, int minLength, int maxThickness, bool reconstruction) {
    sig.mergeGap = maxGap;
    sig.minLengthH = minLength;
    sig.maxPieceThickness = maxThickness;
    sig.reconstruction = reconstruction;
    sig.cleanRunLength = 5;
    sig.maxTransitions = 1;
    sig.scanFraction = 0.8;
    sig.margin = 5;
    return sig;
}

LineRecord Record(int x1, int y1, int x2, int y2) {
    LineRecord r;
    r.x1 = x1;
    r.y1 = y1;
    r.x2 = x2;
    r.y2 = y2;
    r.slope = static_cast<double>(y2 - y1) / (x2 - x1);
    return r;
}

struct ThicknessCase {
    int thickness;
    int maxThickness;
    bool kept;
};

class PieceThicknessTest : public ::testing::TestWithParam<ThicknessCase> {};

// The median thickness is the rule's and the profile covers its dark rows.
TEST_P(PieceThicknessTest, MedianThicknessDecidesWhetherThePieceIsKept) {
    const ThicknessCase c = GetParam();
    Page page(800, 400);
    DrawRule(page.dib(), 50, 750, 200, c.thickness);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 0, c.maxThickness, false);
    sig.detect(&image, nullptr);
    if (!c.kept) {
        EXPECT_TRUE(sig.isEmpty());
        return;
    }
    ASSERT_EQ(sig.horizontalGroups().size(), 1u);
    const LineGroup& group = *sig.horizontalGroups()[0];
    EXPECT_EQ(group.thickness(), c.thickness);
    EXPECT_EQ(group.profile.size(), static_cast<std::size_t>(group.line->x2 - group.line->x1));
    for (const ColumnRun& run : group.profile) {
        EXPECT_EQ(run.top, 199);
        EXPECT_EQ(run.bottom, 199 + c.thickness);
    }
    EXPECT_LE(group.line->x1, 70);
    EXPECT_GE(group.line->x2, 730);
    EXPECT_EQ(sig.horizontal().size(), 1u);
    EXPECT_EQ(sig.horizontal()[0].get(), group.line);
}

INSTANTIATE_TEST_SUITE_P(Rules, PieceThicknessTest,
                         ::testing::Values(ThicknessCase{1, 5, true}, ThicknessCase{3, 5, true},
                                           ThicknessCase{5, 5, true}, ThicknessCase{6, 5, false},
                                           ThicknessCase{3, 0, false}, ThicknessCase{4, 3, false}));

// A rule broken by a gap wider than the largest gap becomes two pieces, and
// each is judged by its own thickness.
TEST(LRLineSigTest, GapsCutPiecesJudgedOnTheirOwn) {
    Page page(1200, 400);
    DrawRule(page.dib(), 50, 550, 200, 2);
    DrawRule(page.dib(), 650, 1150, 200, 8);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 20, 0, 5, false);
    sig.detect(&image, nullptr);
    const auto pieces = sig.analyseLine(Record(50, 199, 1150, 199));
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].record->label, 2);
    EXPECT_EQ(pieces[0].record->x1, 50);
    EXPECT_EQ(pieces[0].record->x2, 549);
    EXPECT_EQ(pieces[0].group->profile.size(), 499u);
    // With an allowance wider than the break the parts form one piece.
    sig.mergeGap = 120;
    const auto joined = sig.analyseLine(Record(50, 199, 1150, 199));
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_EQ(joined[0].record->x1, 50);
    EXPECT_EQ(joined[0].record->x2, 1149);
}

TEST(LRLineSigTest, ShortOrEmptyLines) {
    Page page(400, 200);
    DrawRule(page.dib(), 20, 380, 100, 3);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 100, 5, false);
    sig.detect(&image, nullptr);
    // Shorter than the least length: no piece.
    EXPECT_TRUE(sig.analyseLine(Record(20, 99, 80, 99)).empty());
    sig.minLengthH = 0;
    LineRecord empty = Record(20, 99, 21, 99);
    empty.x2 = 20;
    try {
        sig.analyseLine(empty);
        FAIL() << "no exception";
    } catch (const QNCException& e) {
        EXPECT_STREQ(e.what(), "Bad Line");
        EXPECT_EQ(e.MessageId(), 2160);
    }
    // Over white paper: no good column, no piece.
    EXPECT_TRUE(sig.analyseLine(Record(20, 20, 300, 20)).empty());
}

// A character stroke crossing the rule and the rule itself form one
// component; a stroke beside it that touches nothing stays unlabelled.
TEST(LRLineSigTest, LabelsTheComponentsTouchingALine) {
    Page page(600, 300);
    DrawRule(page.dib(), 50, 550, 150, 3);
    for (int y = 120; y < 180; ++y)
        for (int x = 200; x < 203; ++x) SetBlack(page.dib(), x, y);
    for (int y = 100; y < 140; ++y) SetBlack(page.dib(), 400, y);  // ends 10 rows above the rule
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 0, 5, true);
    sig.detect(&image, nullptr);
    ASSERT_FALSE(sig.isEmpty());
    EXPECT_EQ(sig.mapWidth(), 720);
    EXPECT_EQ(sig.mapHeight(), 360);
    const std::uint16_t label = sig.componentAt(100, 151);
    EXPECT_GE(label, 1);
    EXPECT_LE(label, LRLineSig::kLastComponent);
    EXPECT_EQ(sig.componentAt(201, 121), label);  // top of the crossing stroke
    EXPECT_EQ(sig.componentAt(202, 178), label);  // its bottom
    EXPECT_EQ(sig.componentAt(400, 120), LRLineSig::kNotVisited);
    EXPECT_EQ(sig.componentAt(100, 149), LRLineSig::kVisitedWhite);  // white just above the rule
    EXPECT_EQ(sig.componentAt(-1, 151), LRLineSig::kNotVisited);
}

// The fill queues at most 65535 positions: a larger component is labelled
// only in part.
TEST(LRLineSigTest, FloodFillStopsWhenItsQueueIsFull) {
    Page page(400, 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) SetBlack(page.dib(), x, y);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 0, 5, true);
    sig.detect(&image, nullptr);
    const int before = sig.componentCount();
    sig.labelCrossing(200, 200);
    const auto label = static_cast<std::uint16_t>(sig.componentCount());
    EXPECT_EQ(sig.componentCount(), before + 1);
    int labelled = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) labelled += sig.componentAt(x, y) == label;
    EXPECT_EQ(labelled, LRLineSig::kFillQueueLength);
}

// Component numbers stop at 65534: the value 65535 means "white" and is
// never given to a component.
TEST(LRLineSigTest, ComponentNumbersNeverReachTheWhiteMark) {
    Page page(560, 500);
    for (int y = 0; y < 500; y += 2)
        for (int x = 0; x < 560; x += 2) SetBlack(page.dib(), x, y);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 0, 5, true);
    sig.detect(&image, nullptr);
    for (int y = 0; y < 500; y += 2)
        for (int x = 0; x < 560; x += 2)
            if (sig.componentAt(x, y) == LRLineSig::kNotVisited) sig.labelCrossing(x, y);
    EXPECT_EQ(sig.componentCount(), LRLineSig::kLastComponent);
    int white = 0;
    int unlabelled = 0;
    for (int y = 0; y < 500; y += 2)
        for (int x = 0; x < 560; x += 2) {
            white += sig.componentAt(x, y) == LRLineSig::kVisitedWhite;
            unlabelled += sig.componentAt(x, y) == LRLineSig::kNotVisited;
        }
    EXPECT_EQ(white, 0);
    EXPECT_EQ(unlabelled, 280 * 250 - LRLineSig::kLastComponent);
}

// Lines along the page's edges, and records reaching past them, are measured
// without reading outside the view.
TEST(LRLineSigTest, LinesAtTheEdgesStayInsideThePage) {
    Page page(300, 120);
    DrawRule(page.dib(), 0, 300, 0, 3);    // row 0
    DrawRule(page.dib(), 0, 300, 117, 3);  // last rows
    DrawRule(page.dib(), 0, 300, 60, 2);
    PixelImage image(page.dib());
    LRLineSig sig;
    Configure(sig, 0, 0, 5, true);
    sig.detect(&image, nullptr);
    for (const auto& group : sig.horizontalGroups()) {
        EXPECT_GE(group->line->x1, 0);
        EXPECT_LE(group->line->x2, 300);
    }
    auto bottom = sig.analyseLine(Record(0, 118, 300, 118));
    ASSERT_EQ(bottom.size(), 1u);
    EXPECT_EQ(bottom[0].group->profile[0].bottom, 119);
    auto top = sig.analyseLine(Record(0, -1, 300, -1));
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].group->profile[0].top, 0);  // row 0 is never counted
    EXPECT_EQ(top[0].record->label, 2);
    // Steep and far-off records: white columns, no piece, no stray reads.
    EXPECT_TRUE(sig.analyseLine(Record(-40, 500, 340, 520)).empty());
    EXPECT_NO_THROW(sig.analyseLine(Record(0, 0, 2, 1000)));
}

// Grey pages are read through their 1-bit view; a vertical rule is found
// through the quarter-turned view.
TEST(LRLineSigTest, DeeperPagesAndTheTurnedView) {
    Page page(400, 600, 8);
    lines_test::DrawVerticalRule(page.dib(), 50, 550, 200, 4);
    PixelImage image(page.dib());
    BoolImage bools(&image);
    image.setRotatedView(true);
    bools.setRotatedView(true);
    LRLineSig sig;
    Configure(sig, 0, 0, 5, false);
    sig.detect(&image, &bools);
    ASSERT_EQ(sig.horizontalGroups().size(), 1u);
    const LineGroup& group = *sig.horizontalGroups()[0];
    EXPECT_EQ(group.thickness(), 4);
    // View row v is page column v: the run covers page columns 200 .. 203.
    EXPECT_EQ(group.profile[10].top, 199);
    EXPECT_EQ(group.profile[10].bottom, 203);
}

}  // namespace
