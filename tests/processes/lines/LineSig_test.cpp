// The line signature on drawn rules of known row, ends, thickness and slope,
// in the plain and the quarter-turned view, and its edge cases.
#include "processes/lines/LineSig.h"
#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "processes/lines/LRLineSig.h"
#include "tests/processes/lines/LinePages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using lines_test::BlankHandle;
using lines_test::DrawRule;
using lines_test::DrawVerticalRule;
using lines_test::Page;

std::vector<LineRecord> Copy(const LineSig::Records& list) {
    std::vector<LineRecord> out;
    for (const auto& r : list) out.push_back(*r);
    return out;
}

bool SameRecords(const std::vector<LineRecord>& a, const std::vector<LineRecord>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].x1 != b[i].x1 || a[i].y1 != b[i].y1 || a[i].x2 != b[i].x2 || a[i].y2 != b[i].y2 ||
            a[i].orientation != b[i].orientation)
            return false;
    }
    return true;
}

struct RuleCase {
    const char* name;
    int thickness;
    double slope;  // rows per column; negative rises to the right
};

class HorizontalRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(HorizontalRuleTest, FoundAtItsRowWithItsEndsAndAngle) {
    const RuleCase c = GetParam();
    Page page(1000, 800);
    DrawRule(page.dib(), 100, 900, 400, c.thickness, c.slope);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.create();

    ASSERT_EQ(sig.horizontal().size(), 1u);
    EXPECT_TRUE(sig.vertical().empty());
    const LineRecord& r = *sig.horizontal()[0];
    EXPECT_EQ(r.orientation, 0u);
    EXPECT_EQ(r.label, -1);
    // The tracked upper edge: the rule's top row or the white row above it.
    const double topAtX1 = 400 + (r.x1 - 100) * c.slope;
    const double topAtX2 = 400 + (r.x2 - 100) * c.slope;
    EXPECT_NEAR(r.y1, topAtX1, 1.5);
    EXPECT_NEAR(r.y2, topAtX2, 1.5);
    // Ends within one probe half width of the drawn ends.
    EXPECT_NEAR(r.x1, 100, sig.probeHalfWidth);
    EXPECT_NEAR(r.x2, 899, sig.probeHalfWidth);
    EXPECT_NEAR(r.angle, std::atan(-c.slope), 0.005);
    EXPECT_NEAR(r.length, std::hypot(r.x2 - r.x1, r.y2 - r.y1), 1e-9);
    EXPECT_DOUBLE_EQ(sig.totalLengthH(), r.length);
    EXPECT_FALSE(sig.isEmpty());
    EXPECT_EQ(sig.typeName(), "LINES");
}

// Same rule read through a BoolImage (the accessor path) and through the
// 1-bit fast path: identical records.
TEST_P(HorizontalRuleTest, FastPathMatchesAccessorPath) {
    const RuleCase c = GetParam();
    Page page(1000, 800);
    DrawRule(page.dib(), 100, 900, 400, c.thickness, c.slope);
    DrawRule(page.dib(), 300, 700, 200, c.thickness, -c.slope);
    DrawVerticalRule(page.dib(), 100, 700, 500, c.thickness, c.slope);
    PixelImage fast(page.dib());
    LineSig a(&fast);
    a.wantVertical = true;
    a.mergePasses = 0;
    a.create();

    PixelImage slow(page.dib());
    BoolImage bits(&slow);
    LineSig b(&slow);
    b.setBoolImage(&bits);
    b.wantVertical = true;
    b.mergePasses = 0;
    b.create();
    EXPECT_GT(a.horizontal().size(), 2u);
    EXPECT_TRUE(SameRecords(Copy(a.horizontal()), Copy(b.horizontal())));
    EXPECT_TRUE(SameRecords(Copy(a.vertical()), Copy(b.vertical())));
}

INSTANTIATE_TEST_SUITE_P(Rules, HorizontalRuleTest,
                         ::testing::Values(RuleCase{"Thin", 2, 0.0}, RuleCase{"Thick", 6, 0.0},
                                           RuleCase{"RisingTwoDegrees", 3, -0.035},
                                           RuleCase{"FallingFourDegrees", 3, 0.07},
                                           RuleCase{"FallingHalfDegree", 4, 0.0087}),
                         [](const auto& info) { return std::string(info.param.name); });

class VerticalRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(VerticalRuleTest, FoundInTheTurnedViewAndStoredInPageCoordinates) {
    const RuleCase c = GetParam();
    Page page(1000, 800);
    DrawVerticalRule(page.dib(), 100, 700, 500, c.thickness, c.slope);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.wantHorizontal = false;
    sig.wantVertical = true;
    sig.create();

    ASSERT_EQ(sig.vertical().size(), 1u);
    EXPECT_TRUE(sig.horizontal().empty());
    const LineRecord& r = *sig.vertical()[0];
    EXPECT_EQ(r.orientation, 1u);
    // From the lower end up.
    EXPECT_GT(r.y1, r.y2);
    EXPECT_NEAR(r.y1, 699, sig.probeHalfWidth);
    EXPECT_NEAR(r.y2, 100, sig.probeHalfWidth);
    EXPECT_NEAR(r.x1, 500 + (r.y1 - 100) * c.slope, 1.5);
    EXPECT_NEAR(r.x2, 500 + (r.y2 - 100) * c.slope, 1.5);
    // Leaning right going up (slope < 0) gives an angle just below +pi/2.
    const double expected = std::atan2(r.y1 - r.y2, r.x2 - r.x1);
    EXPECT_NEAR(std::abs(r.angle), M_PI / 2, 0.1);
    EXPECT_NEAR(r.angle < 0 ? r.angle + M_PI : r.angle, expected, 1e-9);
    EXPECT_NEAR(r.angle < 0 ? r.angle + M_PI : r.angle, M_PI / 2 + std::atan(c.slope), 0.005);
    // The image's own view is left as it was.
    EXPECT_FALSE(image.rotatedView());
}

INSTANTIATE_TEST_SUITE_P(Rules, VerticalRuleTest,
                         ::testing::Values(RuleCase{"Upright", 3, 0.0}, RuleCase{"LeaningLeft", 3, 0.035},
                                           RuleCase{"LeaningRight", 4, -0.05}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineSigTest, BlankPageGivesEmptyListsAndZeroTotals) {
    Page page(600, 500);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.wantVertical = true;
    sig.create();
    EXPECT_TRUE(sig.isEmpty());
    EXPECT_TRUE(sig.noHorizontalLines());
    EXPECT_TRUE(sig.noVerticalLines());
    EXPECT_EQ(sig.totalLengthH(), 0.0);
    EXPECT_EQ(sig.totalLengthV(), 0.0);
}

struct LengthCase {
    int length;
    int minLength;
    bool kept;
};

class ShortLineTest : public ::testing::TestWithParam<LengthCase> {};

// A trace must be longer than minTraceLength, and after merging at least
// min(minLengthH, width).
TEST_P(ShortLineTest, KeepsOnlyLinesLongEnough) {
    const LengthCase c = GetParam();
    Page page(1000, 600);
    DrawRule(page.dib(), 400, 400 + c.length, 300, 3);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.scanFraction = 1.0;
    sig.columnSpacing = 16;
    sig.minLengthH = c.minLength;
    sig.create();
    EXPECT_EQ(sig.horizontal().size(), c.kept ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ShortLineTest,
                         ::testing::Values(LengthCase{30, 0, false},     // under minTraceLength
                                           LengthCase{120, 200, false},  // traced, then filtered
                                           LengthCase{120, 60, true}, LengthCase{400, 200, true},
                                           LengthCase{400, -5, true}));

TEST(LineSigTest, DuplicatesFromEveryScanColumnStayWithoutMergePasses) {
    Page page(1600, 800);
    DrawRule(page.dib(), 40, 1560, 400, 3);
    PixelImage merged(page.dib());
    LineSig a(&merged);
    a.create();
    PixelImage unmerged(page.dib());
    LineSig b(&unmerged);
    b.mergePasses = 0;
    b.minLengthH = 0;
    b.create();
    EXPECT_EQ(a.horizontal().size(), 1u);
    EXPECT_GT(b.horizontal().size(), 2u);
}

TEST(LineSigTest, TracingStaysInsideTheColumnRange) {
    Page page(800, 600);
    DrawRule(page.dib(), 0, 800, 300, 3);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.scanFraction = 1.0;
    sig.create();
    ASSERT_EQ(sig.horizontal().size(), 1u);
    const int mx = std::max(sig.probeHalfWidth + 1, sig.margin);
    EXPECT_EQ(sig.horizontal()[0]->x1, mx);
    EXPECT_EQ(sig.horizontal()[0]->x2, 800 - mx);
}

struct FractionCase {
    double given;
    double effective;
};

class ScanFractionTest : public ::testing::TestWithParam<FractionCase> {};

TEST_P(ScanFractionTest, ValuesAboveOneArePercentages) {
    Page page(3130, 400);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.scanFraction = GetParam().given;
    sig.create();
    EXPECT_EQ(sig.countA(), static_cast<int>((3130 - 30) * GetParam().effective / 31));
}

INSTANTIATE_TEST_SUITE_P(Fractions, ScanFractionTest,
                         ::testing::Values(FractionCase{20, 0.2}, FractionCase{3, 0.05}, FractionCase{0.5, 0.5},
                                           FractionCase{500, 1.0}));

TEST(LineSigTest, NothingWantedScansNothing) {
    Page page(800, 600);
    DrawRule(page.dib(), 100, 700, 300, 3);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.wantHorizontal = false;
    sig.wantVertical = false;
    EXPECT_NO_THROW(sig.create());
    EXPECT_TRUE(sig.isEmpty());
}

TEST(LineSigTest, CreateTwiceAndWithoutImageFail) {
    Page page(800, 600);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.create();
    try {
        sig.create();
        FAIL();
    } catch (const QNCException& e) {
        EXPECT_STREQ(e.what(), "LineSig already created");
        EXPECT_EQ(e.MessageId(), 2160);
    }
    LineSig empty;
    try {
        empty.create();
        FAIL();
    } catch (const QNCException& e) {
        EXPECT_STREQ(e.what(), "No Image Defined");
        EXPECT_EQ(e.MessageId(), 2160);
    }
    // After create no image is attached: the pixel test throws.
    EXPECT_THROW(sig.probeEdge(100, 100), QNCException);
}

TEST(LineSigTest, ProbeReportsReachAndDriftOfTheEdge) {
    Page page(200, 200);
    DrawRule(page.dib(), 0, 200, 100, 4);
    PixelImage image(page.dib());
    LineSig sig(&image);
    // On the top dark row: accepted at once (drift 0) across the whole window.
    EXPECT_TRUE(sig.probeEdge(100, 100));
    EXPECT_EQ(sig.leftReach(), 15);
    EXPECT_EQ(sig.rightReach(), 15);
    EXPECT_EQ(sig.leftDrift(), 0);
    // Two rows inside the band: the white above is found at k = 2.
    EXPECT_TRUE(sig.probeEdge(100, 101));
    EXPECT_EQ(sig.leftDrift(), 1);
    // Two rows above: the dark below is found at k = 2 (drift 1 - k).
    EXPECT_TRUE(sig.probeEdge(100, 98));
    EXPECT_EQ(sig.rightDrift(), -1);
    // Far from any edge.
    EXPECT_FALSE(sig.probeEdge(100, 50));
    // Past the image: reads as white, no crash.
    EXPECT_FALSE(sig.probeEdge(-40, 5));
}

TEST(LineSigTest, TransposedWithoutImageExchangesTheCachedSize) {
    LineSig sig;
    Page page(300, 100);
    PixelImage image(page.dib());
    sig.setImage(&image);
    EXPECT_EQ(sig.width(), 300);
    sig.setTransposed(true);
    EXPECT_EQ(sig.width(), 100);
    EXPECT_TRUE(image.rotatedView());
    sig.setImage(nullptr);
    EXPECT_EQ(sig.width(), 100);
    sig.setTransposed(false);
    EXPECT_EQ(sig.width(), 300);
    EXPECT_TRUE(sig.isTransposed() == false);
}

// Parameters that would let a probe reach past the view are read as white
// outside rather than past the bitmap.
TEST(LineSigTest, WideProbesNearTheEdgesStayInsideTheImage) {
    Page page(120, 90);
    DrawRule(page.dib(), 0, 120, 5, 3);
    DrawRule(page.dib(), 0, 120, 84, 3);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.margin = 0;
    sig.probeHalfWidth = 2;
    sig.cleanRunLength = 40;
    sig.edgeSearchDepth = 30;
    sig.rowStep = 0;
    sig.probeStep = 0;
    sig.wantVertical = true;
    sig.minLengthH = sig.minLengthV = 0;
    EXPECT_NO_THROW(sig.create());
}

TEST(LineSigTest, ProgressStaysInItsRangeAndReachesTheLastColumn) {
    Page page(1000, 800);
    DrawRule(page.dib(), 100, 900, 400, 3);
    PixelImage image(page.dib());
    LineSig sig(&image);
    sig.wantVertical = true;
    std::vector<int> reports;
    sig.setProgressHook([](void* context, int p) { static_cast<std::vector<int>*>(context)->push_back(p); }, &reports);
    sig.create();
    ASSERT_FALSE(reports.empty());
    for (int p : reports) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
    sig.setProgressRange(25, 75);
    sig.reportProgress(50);
    sig.reportProgress(-3);
    sig.reportProgress(400);
    EXPECT_EQ(std::vector<int>(reports.end() - 4, reports.end()), (std::vector<int>{25, 50, 25, 75}));
}

TEST(LRLineSigTest, RerunsOnEveryPageWithSlopes) {
    Page first(1000, 600);
    DrawRule(first.dib(), 100, 900, 300, 3, -0.05);
    Page second(1000, 600);
    LRLineSig sig;
    sig.minLengthH = 500;
    sig.scanFraction = 0.8;
    sig.margin = 5;
    PixelImage a(first.dib());
    sig.detect(&a, nullptr);
    ASSERT_EQ(sig.horizontal().size(), 1u);
    EXPECT_NEAR(sig.horizontal()[0]->slope, -0.05, 0.005);
    EXPECT_EQ(sig.minLengthH, 500);
    PixelImage b(second.dib());
    sig.detect(&b, nullptr);
    EXPECT_TRUE(sig.isEmpty());
}

}  // namespace
