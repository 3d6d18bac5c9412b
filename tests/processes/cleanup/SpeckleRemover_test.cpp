// The black-and-white speck remover on pages drawn in code: the size rule,
// connectivity, character preservation, batches of 65534 groups, groups
// larger than the fill's ring, and the run road against the label map.
#include "processes/cleanup/SpeckleRemover.h"
#include "tests/processes/cleanup/DespecklePages.h"
#include "tests/support/TestHost.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using despeckle_test::TestPage;

enum class Road { Runs, LabelMap };

void Despeckle(SpeckleRemover& remover, TestPage& page, Road road) {
    if (road == Road::Runs)
        remover.run(&page.image());
    else
        remover.runWithLabelMap(&page.image());
}

void Despeckle(TestPage& page, long size, bool preserve, Road road) {
    SpeckleRemover remover;
    remover.setSizeLimit(SpeckleRemover::SizeLimitFor(size));
    remover.setPreserve(preserve);
    Despeckle(remover, page, road);
}

std::string RoadName(Road road) { return road == Road::Runs ? "Runs" : "LabelMap"; }

// --- the size limit a "SIZE" value stands for ---

struct LimitCase {
    long size;
    int limit;
};

class SizeLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(SizeLimitTest, FollowsLowSixteenBitsWithOneAndFiveHundredAsBounds) {
    EXPECT_EQ(SpeckleRemover::SizeLimitFor(GetParam().size), GetParam().limit);
}

INSTANTIATE_TEST_SUITE_P(Values, SizeLimitTest,
                         ::testing::Values(LimitCase{0, 1}, LimitCase{1, 1}, LimitCase{3, 3}, LimitCase{500, 500},
                                           LimitCase{501, 500}, LimitCase{65536, 1}, LimitCase{65536 + 7, 7},
                                           LimitCase{-1, 1}, LimitCase{-600, 1}));

// --- the resolution sizes are scaled to ---

struct ResolutionGuess {
    long recorded, width, height;
    long used;
};

class PageResolutionTest : public ::testing::TestWithParam<ResolutionGuess> {};

TEST_P(PageResolutionTest, KeepsPlausibleResolutionsAndTakesOthersAsAnA4Sheet) {
    const ResolutionGuess& c = GetParam();
    EXPECT_EQ(SpeckleRemover::PageResolution(c.recorded, c.width, c.height), c.used);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageResolutionTest,
                         ::testing::Values(ResolutionGuess{300, 2480, 3508, 300}, ResolutionGuess{150, 874, 1240, 150},
                                           ResolutionGuess{0, 2480, 3508, 300},
                                           ResolutionGuess{0, 3508, 2480, 300},  // landscape
                                           ResolutionGuess{-5, 1240, 1754, 150}, ResolutionGuess{72, 2480, 3508, 300},
                                           ResolutionGuess{96, 3024, 4032, 366},
                                           ResolutionGuess{72, 600, 800, 72},      // a small page really at 72 dpi
                                           ResolutionGuess{100, 9000, 9000, 100},  // 100 dpi and more is always taken
                                           ResolutionGuess{300, 4961, 7016, 300},  // A2 at 300 dpi
                                           ResolutionGuess{0, 5, 1, 1}, ResolutionGuess{0, 0, 0, 1},
                                           ResolutionGuess{2147483647, 10, 10, 2147483647}));

// --- one solid group on a white page: removed or kept ---

struct GroupCase {
    const char* name;
    long size;
    int width;
    int height;
    bool removed;
};

class GroupSizeTest : public ::testing::TestWithParam<std::tuple<GroupCase, Road>> {};

TEST_P(GroupSizeTest, RemovesGroupsNoLargerThanTheLimit) {
    const auto& [group, road] = GetParam();
    TestPage page(group.width + 20, group.height + 20);
    page.blackRect(10, 10, group.width, group.height);
    Despeckle(page, group.size, false, road);
    EXPECT_EQ(page.countBlack(), group.removed ? 0 : group.width * group.height);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, GroupSizeTest,
    ::testing::Combine(
        ::testing::Values(GroupCase{"Size0Single", 0, 1, 1, true}, GroupCase{"Size0Pair", 0, 2, 1, false},
                          GroupCase{"Size0UprightPair", 0, 1, 2, false}, GroupCase{"Size3ThreeByOne", 3, 3, 1, true},
                          GroupCase{"Size3FourByOne", 3, 4, 1, false}, GroupCase{"Size3Square", 3, 3, 3, true},
                          GroupCase{"Size3OneByFour", 3, 1, 4, false}, GroupCase{"Size600Row500", 600, 500, 1, true},
                          GroupCase{"Size600Row501", 600, 501, 1, false},
                          GroupCase{"Size65536Pair", 65536, 2, 1, false}, GroupCase{"NegativeSingle", -5, 1, 1, true},
                          GroupCase{"NegativePair", -5, 2, 1, false}),
        ::testing::Values(Road::Runs, Road::LabelMap)),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + RoadName(std::get<1>(info.param)); });

// --- connectivity and character preservation ---

class RoadTest : public ::testing::TestWithParam<Road> {};

TEST_P(RoadTest, PixelsTouchingOnlyAtACornerAreTwoGroups) {
    TestPage page(20, 20);
    page.black(5, 5);
    page.black(6, 6);
    page.black(12, 5);  // a pair side by side stays
    page.black(13, 5);
    Despeckle(page, 0, false, GetParam());
    EXPECT_FALSE(page.isBlack(5, 5));
    EXPECT_FALSE(page.isBlack(6, 6));
    EXPECT_EQ(page.countBlack(), 2);
}

TEST_P(RoadTest, LimitOfFiveHundredRemovesAFullPageWideRule) {
    TestPage page(500, 40);
    page.blackRect(0, 20, 500, 3);
    page.black(3, 3);
    Despeckle(page, 500, false, GetParam());
    EXPECT_EQ(page.countBlack(), 0);
}

TEST_P(RoadTest, BlankAndAllBlackPagesStayAsTheyAre) {
    TestPage blank(64, 33);
    Despeckle(blank, 0, true, GetParam());
    EXPECT_EQ(blank.countBlack(), 0);
    TestPage full(67, 31);
    full.blackRect(0, 0, 67, 31);
    Despeckle(full, 5, true, GetParam());
    EXPECT_EQ(full.countBlack(), 67 * 31);
}

// A comb of 120 000 pixels: a row of 60 000 with a one-pixel tooth on every
// column, up on even columns and down on odd ones. Its breadth-first fill
// outgrows a ring of 65535 positions; cut there, the teeth under the cut
// would become single-pixel groups and be erased.
TEST_P(RoadTest, GroupLargerThanTheFillRingIsLabelledWhole) {
    TestPage page(60008, 5);
    for (int x = 4; x < 60004; ++x) {
        page.black(x, 2);
        page.black(x, x % 2 ? 3 : 1);
    }
    const int before = page.countBlack();
    Despeckle(page, 0, false, GetParam());
    EXPECT_EQ(page.countBlack(), before);
}

TEST_P(RoadTest, NullImageIsRefusedWithInternalError) {
    SpeckleRemover remover;
    try {
        if (GetParam() == Road::Runs)
            remover.run(nullptr);
        else
            remover.runWithLabelMap(nullptr);
        FAIL() << "no exception";
    } catch (const CZRException& error) {
        EXPECT_EQ(error.Error(), CZRException::FromMessageId(2160));
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, RoadTest, ::testing::Values(Road::Runs, Road::LabelMap),
                         [](const auto& info) { return RoadName(info.param); });

// A dot near a large group, with "SIZE" 5 and preservation on. The large
// group is a 1 x 12 or 12 x 1 bar (size 12).
struct PreserveCase {
    const char* name;
    int dotSide;     // the dot is dotSide x dotSide at (20, 20)
    int barX, barY;  // top-left of the bar
    bool upright;    // bar 1 wide and 12 high, else 12 wide and 1 high
    bool preserve;
    bool dotStays;
};

class PreserveTest : public ::testing::TestWithParam<std::tuple<PreserveCase, Road>> {};

TEST_P(PreserveTest, SparesDotsWithALargeGroupStraightNearby) {
    const auto& [c, road] = GetParam();
    TestPage page(60, 60);
    page.blackRect(20, 20, c.dotSide, c.dotSide);
    page.blackRect(c.barX, c.barY, c.upright ? 1 : 12, c.upright ? 12 : 1);
    Despeckle(page, 5, c.preserve, road);
    EXPECT_EQ(page.isBlack(20, 20), c.dotStays);
    EXPECT_EQ(page.countBlack(), 12 + (c.dotStays ? c.dotSide * c.dotSide : 0));
}

// The 3 x 3 dot covers columns and rows 20..22.
INSTANTIATE_TEST_SUITE_P(
    Cases, PreserveTest,
    ::testing::Combine(::testing::Values(PreserveCase{"FiveRowsBelow", 3, 21, 27, true, true, true},
                                         PreserveCase{"SixRowsBelow", 3, 22, 28, true, true, true},
                                         PreserveCase{"SevenRowsBelow", 3, 21, 29, true, true, false},
                                         PreserveCase{"SixRowsAbove", 3, 20, 3, true, true, true},
                                         PreserveCase{"SevenRowsAbove", 3, 20, 2, true, true, false},
                                         PreserveCase{"SixColumnsRight", 3, 28, 22, false, true, true},
                                         PreserveCase{"SevenColumnsRight", 3, 29, 22, false, true, false},
                                         PreserveCase{"SixColumnsLeft", 3, 3, 20, false, true, true},
                                         PreserveCase{"OnlyDiagonal", 3, 24, 24, true, true, false},
                                         PreserveCase{"PreserveOff", 3, 21, 27, true, false, false},
                                         PreserveCase{"TwoByTwoAdjacent", 2, 20, 23, true, true, false}),
                       ::testing::Values(Road::Runs, Road::LabelMap)),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + RoadName(std::get<1>(info.param)); });

// --- the rule a page's resolution gives ("SIZEDPI") ---

struct ResolutionRuleCase {
    const char* name;
    long size;
    long sizeDpi;
    long xResolution;
    int limit;
    int alwaysErased;
    int nearDistance;
};

class ResolutionRuleTest : public ::testing::TestWithParam<ResolutionRuleCase> {};

TEST_P(ResolutionRuleTest, ScalesLimitAlwaysErasedAndReachToThePageWithinBounds) {
    const ResolutionRuleCase& c = GetParam();
    const SpeckleRule rule = SpeckleRemover::RuleFor(c.size, true, c.sizeDpi, c.xResolution);
    EXPECT_EQ(rule.sizeLimit, c.limit);
    EXPECT_EQ(rule.alwaysErased, c.alwaysErased);
    EXPECT_EQ(rule.nearDistance, c.nearDistance);
    EXPECT_TRUE(rule.preserve);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolutionRuleTest,
    ::testing::Values(
        // Off, or no page resolution: the documented rule whatever the page.
        ResolutionRuleCase{"Off", 4, 0, 600, 4, 2, 6}, ResolutionRuleCase{"NegativeOff", 4, -300, 600, 4, 2, 6},
        ResolutionRuleCase{"NoPageResolution", 4, 300, 0, 4, 2, 6},
        ResolutionRuleCase{"NegativePageResolution", 4, 300, -150, 4, 2, 6},
        ResolutionRuleCase{"OffKeepsSixteenBitRule", 65536 + 7, 0, 300, 7, 2, 6},
        // 4 pixels at 300 dpi: half at 150, two thirds at 200 (rounded), twice at 600.
        ResolutionRuleCase{"At150", 4, 300, 150, 2, 1, 6}, ResolutionRuleCase{"At200", 4, 300, 200, 3, 1, 6},
        ResolutionRuleCase{"At300", 4, 300, 300, 4, 2, 6}, ResolutionRuleCase{"At600", 4, 300, 600, 8, 4, 12},
        // Size 0 is single pixels, and scales as 1 does.
        ResolutionRuleCase{"ZeroAt600", 0, 300, 600, 2, 4, 12},
        // Extremes: never below 1 (the reach never below 6), never above 500 (reach 64), no overflow.
        ResolutionRuleCase{"OneDpiPage", 500, 300, 1, 2, 1, 6},
        ResolutionRuleCase{"TenThousandDpi", 4, 300, 10000, 133, 67, 64},
        ResolutionRuleCase{"LargestResolution", 500, 1, 2147483647, 500, 500, 64},
        ResolutionRuleCase{"LargestReference", 500, 2147483647, 600, 1, 1, 6}),
    [](const auto& info) { return std::string(info.param.name); });

// The scaled measures on both roads: at 600 dpi (SIZE 4 at 300: limit 8,
// always erased 4, reach 12) a 6 x 6 dot 10 rows above a stem is small and
// stays only because the reach grew, and a 4 x 4 group beside the stem goes.
TEST_P(RoadTest, ScaledReachAndAlwaysErasedSizeDecideOnBothRoads) {
    for (const bool scaled : {true, false}) {
        TestPage page(80, 80);
        page.blackRect(20, 20, 6, 6);   // the dot: rows 20..25
        page.blackRect(20, 36, 6, 30);  // the stem, 10 rows below the dot
        page.blackRect(28, 50, 4, 4);   // a fragment 2 columns right of the stem
        SpeckleRemover remover;
        remover.setRule(SpeckleRemover::RuleFor(4, true, 300, scaled ? 600 : 0));
        if (GetParam() == Road::Runs)
            remover.run(&page.image());
        else
            remover.runWithLabelMap(&page.image());
        // Unscaled: limit 4, the 6 x 6 dot is large and stays; the fragment
        // is size 4, above the 2 always erased, beside the stem: it stays.
        EXPECT_TRUE(page.isBlack(20, 20)) << scaled;
        EXPECT_EQ(page.isBlack(28, 50), !scaled) << scaled;
        EXPECT_EQ(page.countBlack(), 36 + 180 + (scaled ? 0 : 16)) << scaled;
    }
}

// --- many groups: the label map's batches ---

TEST(SpeckleBatchTest, PageWithMoreGroupsThanOneBatchLosesEverySpeckAndKeepsItsRules) {
    TestPage page(640, 600);
    for (int y = 0; y < 600; y += 2)
        for (int x = 0; x < 600; x += 2) page.black(x, y);  // 90 000 single pixels
    for (int y = 10; y < 600; y += 100) page.blackRect(610, y, 20, 3);
    SpeckleRemover remover;
    remover.setSizeLimit(1);
    remover.run(&page.image());
    EXPECT_EQ(page.countBlack(), 6 * 20 * 3);
    for (int y = 10; y < 600; y += 100) EXPECT_TRUE(page.isBlack(629, y + 2));
}

// 1.2 times 60 000 rows is more than 16 bits hold: the label map must still
// give every column its own rows.
TEST(SpeckleTallPageTest, LabelMapOfAPageTallerThanFiftyFiveThousandRowsKeepsColumnsApart) {
    TestPage page(8, 60000);
    for (int y = 100; y < 60000; y += 997) page.black(y % 7, y);
    page.blackRect(3, 30000, 1, 40);
    page.blackRect(7, 59950, 1, 50);
    Despeckle(page, 2, true, Road::LabelMap);
    EXPECT_EQ(page.countBlack(), 90);
    EXPECT_TRUE(page.isBlack(3, 30039));
    EXPECT_TRUE(page.isBlack(7, 59999));
}

// --- the run road against the label map ---

class Tracker : public CComObjectRootEx, public CZRProgressTracker {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IConnectionPointContainer)
            return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }
};

// Progress percentages a remover reports on one page.
struct Recorded {
    std::vector<LONG> percents;
};

Recorded RunRecorded(TestPage& page, long size, bool preserve, Road road) {
    CComObject<Tracker>* object = nullptr;
    CComObject<Tracker>::CreateInstance(&object);
    CComPtr<Tracker> tracker(object);
    CComObject<RecordingSink>* sinkObject = nullptr;
    CComObject<RecordingSink>::CreateInstance(&sinkObject);
    CComPtr<RecordingSink> sink(sinkObject);
    CComPtr<IConnectionPoint> point;
    tracker->FindConnectionPoint(IID_IZRProcessExEvents, &point);
    DWORD cookie = 0;
    point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie);
    CComBSTR name(u"Despeckle");
    tracker->beginProgress(name);
    SpeckleRemover remover;
    remover.setSizeLimit(SpeckleRemover::SizeLimitFor(size));
    remover.setPreserve(preserve);
    remover.setProgressOwner(tracker.get());
    Despeckle(remover, page, road);
    point->Unadvise(cookie);
    return {sink->Percents()};
}

struct RandomCase {
    int width, height;
    double density;
    long size;
    bool preserve;
};

class RoadsAgreeTest : public ::testing::TestWithParam<RandomCase> {};

TEST_P(RoadsAgreeTest, RunRoadGivesTheLabelMapsPixelsAndProgress) {
    const RandomCase& c = GetParam();
    TestPage byRuns(c.width, c.height);
    byRuns.scatter(c.density, static_cast<unsigned>(c.width * 31 + c.height));
    // A few characters' worth of larger shapes for preservation to look at.
    for (int x = 3; x + 12 < c.width; x += 40) byRuns.blackRect(x, c.height / 2, 9, std::min(9, c.height / 2));
    TestPage byMap(c.width, c.height);
    byMap.copyFrom(byRuns);
    const Recorded runs = RunRecorded(byRuns, c.size, c.preserve, Road::Runs);
    const Recorded map = RunRecorded(byMap, c.size, c.preserve, Road::LabelMap);
    EXPECT_EQ(byRuns.pixels(), byMap.pixels());
    EXPECT_EQ(runs.percents, map.percents);
}

INSTANTIATE_TEST_SUITE_P(Pages, RoadsAgreeTest,
                         ::testing::Values(RandomCase{8, 1, 0.5, 0, false}, RandomCase{63, 17, 0.1, 0, false},
                                           RandomCase{64, 64, 0.3, 1, true}, RandomCase{65, 40, 0.45, 2, true},
                                           RandomCase{129, 77, 0.2, 3, true}, RandomCase{200, 150, 0.05, 5, true},
                                           RandomCase{200, 150, 0.55, 5, false}, RandomCase{333, 120, 0.7, 10, true},
                                           RandomCase{450, 300, 0.02, 500, true}, RandomCase{517, 203, 0.9, 4, true},
                                           RandomCase{1000, 60, 0.15, 1, true}, RandomCase{257, 400, 0.35, 3, false}));

// --- independent oracle: Leptonica's own connected components ---

class OracleTest : public ::testing::TestWithParam<RandomCase> {};

TEST_P(OracleTest, LeavesExactlyTheGroupsLargerThanTheLimit) {
    const RandomCase& c = GetParam();
    TestPage page(c.width, c.height);
    page.scatter(c.density, 7u + static_cast<unsigned>(c.size));
    Pix* before = despeckle_test::PageToPix(page.image());
    Pix* expected = despeckle_test::KeepLargeGroups(before, SpeckleRemover::SizeLimitFor(c.size));
    Despeckle(page, c.size, false, Road::Runs);
    Pix* after = despeckle_test::PageToPix(page.image());
    EXPECT_TRUE(despeckle_test::SamePixels(after, expected));
    pixDestroy(&before);
    pixDestroy(&expected);
    pixDestroy(&after);
}

INSTANTIATE_TEST_SUITE_P(Pages, OracleTest,
                         ::testing::Values(RandomCase{300, 200, 0.1, 0, false}, RandomCase{300, 200, 0.3, 2, false},
                                           RandomCase{301, 99, 0.5, 3, false}, RandomCase{640, 100, 0.6, 7, false}));

// --- one remover, pages of changing size ---

TEST(SpeckleReuseTest, RemoverKeptBetweenPagesOfChangingSizeMatchesAFreshOne) {
    SpeckleRemover kept;
    kept.setSizeLimit(3);
    kept.setPreserve(true);
    const int sizes[][2] = {{300, 200}, {100, 50}, {310, 210}, {700, 90}, {90, 700}};
    unsigned seed = 1;
    for (const auto& size : sizes) {
        for (Road road : {Road::LabelMap, Road::Runs}) {
            TestPage page(size[0], size[1]);
            page.scatter(0.3, ++seed);
            TestPage fresh(size[0], size[1]);
            fresh.copyFrom(page);
            Despeckle(kept, page, road);
            Despeckle(fresh, 3, true, Road::LabelMap);
            EXPECT_EQ(page.pixels(), fresh.pixels()) << size[0] << " x " << size[1] << " " << RoadName(road);
        }
    }
}

}  // namespace
