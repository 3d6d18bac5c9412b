// The run trace of line removal on drawn rules: where it puts a rule's ends
// and upper edge, rules that text touches from above (which the edge search
// finds only in part), strokes that are no rule, and pages with nothing else.
#include "processes/lines/RuleTracker.h"

#include "image/PixelImage.h"
#include "tests/processes/lines/LinePages.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using lines_test::DrawRule;
using lines_test::Page;
using lines_test::SetBlack;

std::vector<LineRecord> Find(Page& page, int maxThickness, int maxGap = 0) {
    PixelImage image(page.dib());
    const ViewPixels pixels(&image, nullptr);
    return RuleTracker::find(pixels, {maxThickness, maxGap});
}

struct RuleCase {
    int thickness;
    double degrees;  // positive: falls to the right
};

class TracedRuleTest : public ::testing::TestWithParam<RuleCase> {};

// One record from end to end whose upper edge is the drawn one within a row.
TEST_P(TracedRuleTest, FindsTheWholeRuleAndItsUpperEdge) {
    const RuleCase c = GetParam();
    Page page(1200, 300);
    const double slope = std::tan(c.degrees * M_PI / 180.0);
    DrawRule(page.dib(), 100, 1100, 140, c.thickness, slope);
    const auto rules = Find(page, 6);
    ASSERT_EQ(rules.size(), 1u);
    const LineRecord& r = rules[0];
    EXPECT_EQ(r.x1, 100);
    EXPECT_EQ(r.x2, 1100);
    // The row above the upper edge at both ends.
    EXPECT_NEAR(r.y1, 139, 1);
    EXPECT_NEAR(r.y2, 139 + std::floor(999 * slope + 0.5), 1);
}

INSTANTIATE_TEST_SUITE_P(ThicknessAndSlant, TracedRuleTest,
                         ::testing::Values(RuleCase{1, 0.0}, RuleCase{2, 0.0}, RuleCase{3, 0.0}, RuleCase{4, 0.0},
                                           RuleCase{5, 0.0}, RuleCase{6, 0.0}, RuleCase{1, 2.0}, RuleCase{1, -2.0},
                                           RuleCase{2, 1.0}, RuleCase{3, -1.5}, RuleCase{6, 2.0}, RuleCase{6, -2.0}));

// Strokes 8 pixels wide standing on the rule every 20 columns leave it no
// clean edge above for a stretch; the trace takes it whole.
TEST(RuleTrackerTest, FindsARuleThatTextTouchesFromAbove) {
    Page page(1200, 300);
    DrawRule(page.dib(), 100, 1100, 150, 2);
    for (int x = 110; x < 1090; x += 20) DrawRule(page.dib(), x, x + 8, 120, 30);
    const auto rules = Find(page, 6);
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].x1, 100);
    EXPECT_EQ(rules[0].x2, 1100);
    EXPECT_EQ(rules[0].y1, 149);
}

// What is no rule: a rule thicker than the largest thickness, short bars,
// a block, and a row of letters' bars with gaps between them.
TEST(RuleTrackerTest, IgnoresWhatIsNoRule) {
    Page page(1200, 400);
    DrawRule(page.dib(), 100, 1100, 50, 8);
    DrawRule(page.dib(), 100, 125, 100, 3);
    DrawRule(page.dib(), 300, 500, 150, 40);
    for (int x = 100; x < 1100; x += 40) DrawRule(page.dib(), x, x + 22, 250, 3);
    EXPECT_TRUE(Find(page, 6, 10).empty());
}

TEST(RuleTrackerTest, BlankAndAllBlackPagesHaveNoRule) {
    Page blank(500, 300);
    EXPECT_TRUE(Find(blank, 6).empty());
    Page black(500, 300);
    lines_test::FillBlack(black.dib());
    EXPECT_TRUE(Find(black, 6).empty());
}

// Breaks no longer than the largest gap keep one rule; longer ones cut it.
TEST(RuleTrackerTest, CrossesBreaksUpToTheLargestGap) {
    Page page(1200, 300);
    DrawRule(page.dib(), 100, 500, 150, 2);
    DrawRule(page.dib(), 520, 1100, 150, 2);
    EXPECT_EQ(Find(page, 6, 30).size(), 1u);
    EXPECT_EQ(Find(page, 6, 10).size(), 2u);
}

// Rules on the first and last rows and across the whole page.
TEST(RuleTrackerTest, RulesAtThePageEdges) {
    Page page(600, 200);
    DrawRule(page.dib(), -50, 650, 0, 2);
    DrawRule(page.dib(), 0, 600, 198, 2);
    const auto rules = Find(page, 6);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].y1, -1);
    EXPECT_EQ(rules[1].y1, 197);
    for (const LineRecord& r : rules) {
        EXPECT_EQ(r.x1, 0);
        EXPECT_EQ(r.x2, 600);
    }
}

}  // namespace
