// The line-removal process as a host drives it: its properties and type
// code, the orientation rule, pointers it refuses, the progress it reports,
// and drawn pages whose rules and crossing strokes are known.
#include "processes/lines/CZRLineRemoval.h"

#include "tests/processes/lines/LinePages.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using lines_test::DrawRule;
using lines_test::DrawVerticalRule;
using lines_test::IsBlack;
using lines_test::SetBlack;
using lines_test::Snapshot;

class LineRemovalTest : public ProcessFixture<CZRLineRemoval> {
protected:
    void SetLong(const char16_t* key, LONG value) { Set(key, CComVariant(value)); }
    // One page holding `handle` (owned by the document from here on).
    static CComPtr<CZRDocument> Document(int handle) {
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        document->AppendPage(handle);
        return document;
    }
    static int Handle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
    static BITMAPINFOHEADER* Dib(CZRDocument* document) { return ImageWrapper::get_raw_dib(Handle(document)); }
    static int BlackIn(CZRDocument* document, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += IsBlack(Dib(document), x, y);
        return n;
    }
    // A page with a horizontal and a vertical 3-pixel rule, each crossed by
    // a 3-pixel stroke.
    static CComPtr<CZRDocument> CrossedRules(int bits) {
        CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(800, 800, bits));
        BITMAPINFOHEADER* dib = Dib(document);
        DrawRule(dib, 50, 750, 200, 3);
        DrawVerticalRule(dib, 300, 750, 600, 3);
        for (int y = 170; y < 230; ++y)
            for (int x = 400; x < 403; ++x) SetBlack(dib, x, y);
        for (int y = 500; y < 503; ++y)
            for (int x = 570; x < 630; ++x) SetBlack(dib, x, y);
        return document;
    }
};

TEST_F(LineRemovalTest, DeclaresSixPropertiesWithTypeCode798) {
    const struct {
        const char16_t* key;
        VARTYPE type;
    } expected[] = {{u"ORIENTATION", VT_BSTR}, {u"MINLENGTH", VT_I4}, {u"MAXTHICKNESS", VT_I4},
                    {u"MAXGAP", VT_I4},        {u"CLEANUP", VT_I4},   {u"RECONSTRUCTION", VT_I4}};
    for (const auto& property : expected) {
        CComVariant value;
        CComBSTR key(property.key);
        ASSERT_EQ(process_->get_Properties(key, &value), S_OK);
        EXPECT_EQ(value.vt, property.type);
        if (property.type == VT_I4) {
            EXPECT_EQ(value.lVal, 0);
        }
    }
    CComVariant orientation;
    CComBSTR key(u"ORIENTATION");
    process_->get_Properties(key, &orientation);
    EXPECT_EQ(std::u16string(orientation.bstrVal), u"Horizontal");
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 798);
    EXPECT_EQ(std::string(CZRLineRemoval::kDescriptor.name), "LineRemoval");
    EXPECT_EQ(CZRLineRemoval::kDescriptor.scriptId, 110);
}

TEST_F(LineRemovalTest, DefaultPropertiesLeaveThePageUnchanged) {
    CComPtr<CZRDocument> document = CrossedRules(1);
    const auto before = Snapshot(Handle(document));
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(Snapshot(Handle(document)), before);
}

// A 3-pixel rule under "MAXTHICKNESS" 5 goes; the stroke it crossed keeps its
// ends and, with "RECONSTRUCTION", gets its middle back. The vertical rule
// stays in horizontal mode.
TEST_F(LineRemovalTest, ErasesTheRuleAndRebuildsTheCrossedStroke) {
    for (const int bits : {1, 8, 24}) {
        for (const LONG reconstruction : {0, 10}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, reconstruction " << reconstruction);
            SetLong(u"MAXTHICKNESS", 5);
            SetLong(u"MINLENGTH", 100);
            SetLong(u"RECONSTRUCTION", reconstruction);
            CComPtr<CZRDocument> document = CrossedRules(bits);
            ASSERT_EQ(Run(document->Pages()[0]), S_OK);
            EXPECT_EQ(BlackIn(document, 50, 195, 390, 206), 0);
            EXPECT_EQ(BlackIn(document, 420, 195, 750, 206), 0);
            EXPECT_EQ(BlackIn(document, 400, 170, 403, 200), 90);
            EXPECT_EQ(BlackIn(document, 400, 203, 403, 230), 81);
            EXPECT_EQ(BlackIn(document, 400, 200, 403, 203), reconstruction > 0 ? 9 : 0);
            EXPECT_EQ(BlackIn(document, 600, 320, 603, 480), 3 * 160);
        }
    }
}

struct OrientationCase {
    const char* name;
    CComVariant value;
    bool horizontal;
};

class OrientationTest : public LineRemovalTest, public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(OrientationTest, SelectsTheRulesOfOneOrientation) {
    Set(u"ORIENTATION", GetParam().value);
    SetLong(u"MAXTHICKNESS", 5);
    SetLong(u"MINLENGTH", 100);
    CComPtr<CZRDocument> document = CrossedRules(1);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    const int horizontalLeft = BlackIn(document, 50, 195, 390, 206);
    const int verticalLeft = BlackIn(document, 595, 320, 606, 480);
    if (GetParam().horizontal) {
        EXPECT_EQ(horizontalLeft, 0);
        EXPECT_EQ(verticalLeft, 3 * 160);
    } else {
        EXPECT_EQ(horizontalLeft, 3 * 340);
        EXPECT_EQ(verticalLeft, 0);
        EXPECT_EQ(BlackIn(document, 570, 500, 595, 503), 75);  // the crossing stroke stays
    }
}

INSTANTIATE_TEST_SUITE_P(Values, OrientationTest,
                         ::testing::Values(OrientationCase{"Lower", CComVariant("horizontal"), true},
                                           OrientationCase{"Mixed", CComVariant("hOrIzOnTaL"), true},
                                           OrientationCase{"Vertical", CComVariant("Vertical"), false},
                                           OrientationCase{"Other", CComVariant("sideways"), false},
                                           OrientationCase{"Empty", CComVariant(""), false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Values as the bag may hold them (it keeps the declared string type for
// values a host puts): numbers select horizontal lines.
TEST_F(LineRemovalTest, OrientationRuleOnRawValues) {
    EXPECT_TRUE(CZRLineRemoval::IsHorizontal(CComVariant(LONG{3})));
    VARIANT nullString;
    nullString.vt = VT_BSTR;
    nullString.bstrVal = nullptr;
    EXPECT_FALSE(CZRLineRemoval::IsHorizontal(nullString));
    EXPECT_TRUE(CZRLineRemoval::IsHorizontal(CComVariant(1.5)));
    EXPECT_FALSE(CZRLineRemoval::IsHorizontal(CComVariant("HORIZONTALS")));
}

TEST_F(LineRemovalTest, MissingResultPageOrImageIsABadPointer) {
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(process_->Process(nullptr, &result), E_POINTER);
    CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(100, 100, 1));
    EXPECT_EQ(process_->Process(document->Pages()[0], nullptr), E_POINTER);
    CComPtr<CZRDocument> empty = Document(-1);
    EXPECT_EQ(process_->Process(empty->Pages()[0], &result), E_POINTER);
}

// Detection within 15 .. 70, erasure from 75, reconnection 80 .. 90, then 90
// and the end of the run.
TEST_F(LineRemovalTest, ReportsDetectionErasureAndReconnection) {
    CComObject<RecordingSink>* object = nullptr;
    CComObject<RecordingSink>::CreateInstance(&object);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    SetLong(u"MAXTHICKNESS", 5);
    SetLong(u"RECONSTRUCTION", 10);
    CComPtr<CZRDocument> document = CrossedRules(1);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    const std::vector<LONG> percents = sink->Percents();
    ASSERT_GE(percents.size(), 5u);
    EXPECT_EQ(percents.front(), 15);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_NE(std::find(percents.begin(), percents.end(), 75), percents.end());
    EXPECT_NE(std::find(percents.begin(), percents.end(), 80), percents.end());
    EXPECT_EQ(percents[percents.size() - 2], 90);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(sink->events.back().id, 302);
    point->Unadvise(cookie);
}

// The same object handles pages of other sizes one after the other.
TEST_F(LineRemovalTest, RunsPageAfterPage) {
    SetLong(u"MAXTHICKNESS", 5);
    SetLong(u"RECONSTRUCTION", 10);
    for (const int size : {800, 400, 1200, 820}) {
        CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(size, size / 2, 1));
        DrawRule(Dib(document), 40, size - 40, size / 4, 2);
        ASSERT_EQ(Run(document->Pages()[0]), S_OK);
        EXPECT_EQ(BlackIn(document, 0, 0, size, size / 2), 0) << size;
    }
}

// The traced rules: every rule pixel goes, whatever crosses or touches the
// rule, and nothing else does.
class TracedRemovalTest : public LineRemovalTest {
protected:
    void SetUp() override {
        LineRemovalTest::SetUp();
        SetLong(u"DETECTION", 1);
        SetLong(u"MAXTHICKNESS", 6);
        SetLong(u"MINLENGTH", 100);
        SetLong(u"MAXGAP", 10);
    }
};

TEST_F(LineRemovalTest, DetectionIsDeclaredAndDefaultsToTheEdgeSearch) {
    CComVariant value;
    CComBSTR key(u"DETECTION");
    ASSERT_EQ(process_->get_Properties(key, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 0);
    const auto& table = CZRLineRemoval::kDescriptor.properties;
    ASSERT_EQ(table.size(), 7u);
    EXPECT_EQ(std::string(table.back().key), "DETECTION");
    EXPECT_FALSE(std::string(table.back().meaning).empty());
}

struct TracedRuleCase {
    int thickness;
    double degrees;
    int bits;
};

class TracedRuleRemovalTest : public TracedRemovalTest, public ::testing::WithParamInterface<TracedRuleCase> {};

// A rule alone on the page goes to the last pixel, with and without
// reconstruction.
TEST_P(TracedRuleRemovalTest, ErasesEveryPixelOfTheRule) {
    const TracedRuleCase c = GetParam();
    for (const LONG reconstruction : {0, 8}) {
        SCOPED_TRACE(testing::Message() << "reconstruction " << reconstruction);
        SetLong(u"RECONSTRUCTION", reconstruction);
        CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(1200, 300, c.bits));
        DrawRule(Dib(document), 100, 1100, 140, c.thickness, std::tan(c.degrees * M_PI / 180.0));
        ASSERT_EQ(Run(document->Pages()[0]), S_OK);
        EXPECT_EQ(BlackIn(document, 0, 0, 1200, 300), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(ThicknessSlantAndDepth, TracedRuleRemovalTest,
                         ::testing::Values(TracedRuleCase{1, 0.0, 1}, TracedRuleCase{2, 0.0, 1},
                                           TracedRuleCase{3, 0.0, 1}, TracedRuleCase{4, 0.0, 1},
                                           TracedRuleCase{5, 0.0, 1}, TracedRuleCase{6, 0.0, 1},
                                           TracedRuleCase{1, 2.0, 1}, TracedRuleCase{2, -2.0, 1},
                                           TracedRuleCase{3, 1.0, 1}, TracedRuleCase{4, -1.5, 1},
                                           TracedRuleCase{6, 2.0, 1}, TracedRuleCase{1, -0.5, 1},
                                           TracedRuleCase{3, 1.0, 8}, TracedRuleCase{3, -2.0, 24}));

// Upright strokes cross a 3-pixel rule, and one stands on it: outside the
// rule's rows they stay; inside, reconstruction brings back exactly the
// crossing strokes' pixels.
TEST_F(TracedRemovalTest, KeepsAndRebuildsTheStrokesThatCrossTheRule) {
    for (const LONG reconstruction : {0, 8}) {
        SCOPED_TRACE(testing::Message() << "reconstruction " << reconstruction);
        SetLong(u"RECONSTRUCTION", reconstruction);
        CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(1200, 300, 1));
        BITMAPINFOHEADER* dib = Dib(document);
        DrawRule(dib, 100, 1100, 150, 3);
        for (int x = 200; x < 1000; x += 50) DrawRule(dib, x, x + 5, 120, 60);  // rows 120 .. 179
        DrawRule(dib, 1020, 1026, 120, 30);                                     // stands on the rule
        ASSERT_EQ(Run(document->Pages()[0]), S_OK);
        EXPECT_EQ(BlackIn(document, 0, 120, 1200, 150), 16 * 5 * 30 + 6 * 30);
        EXPECT_EQ(BlackIn(document, 0, 153, 1200, 180), 16 * 5 * 27);
        EXPECT_EQ(BlackIn(document, 0, 150, 1200, 153), reconstruction > 0 ? 16 * 5 * 3 : 0);
        EXPECT_EQ(BlackIn(document, 0, 0, 1200, 120) + BlackIn(document, 0, 180, 1200, 300), 0);
    }
}

// Rules on the first and last rows, and one drawn past both sides.
TEST_F(TracedRemovalTest, ErasesRulesAtThePageEdges) {
    SetLong(u"RECONSTRUCTION", 8);
    CComPtr<CZRDocument> document = Document(lines_test::BlankHandle(600, 200, 1));
    DrawRule(Dib(document), 50, 550, 0, 3);
    DrawRule(Dib(document), 50, 550, 197, 3);
    DrawRule(Dib(document), -100, 700, 100, 2);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    EXPECT_EQ(BlackIn(document, 0, 0, 600, 200), 0);
}

// Text without rules, and an all-black page, stay as they are.
TEST_F(TracedRemovalTest, LeavesPagesWithoutRulesUnchanged) {
    SetLong(u"RECONSTRUCTION", 8);
    CComPtr<CZRDocument> text = Document(lines_test::TextPage(300, 0.0));
    const auto before = Snapshot(Handle(text));
    ASSERT_EQ(Run(text->Pages()[0]), S_OK);
    EXPECT_EQ(Snapshot(Handle(text)), before);

    CComPtr<CZRDocument> black = Document(lines_test::BlankHandle(500, 400, 1));
    lines_test::FillBlack(Dib(black));
    ASSERT_EQ(Run(black->Pages()[0]), S_OK);
    EXPECT_EQ(BlackIn(black, 0, 0, 500, 400), 500 * 400);
}

// Rules drawn through text lines: the rule pixels that are no character's
// go (but for a few beside crossing characters), and no character pixel
// farther than two pixels from a rule is lost.
TEST_F(TracedRemovalTest, ErasesRulesThroughTextAndNoStrokeTheyDoNotTouch) {
    SetLong(u"MINLENGTH", 300);
    CComPtr<CZRDocument> text = Document(lines_test::TextPage(300, 0.0));
    CComPtr<CZRDocument> ruled = Document(ImageWrapper::create_handle_from_dib(Dib(text)));
    BITMAPINFOHEADER* textDib = Dib(text);
    BITMAPINFOHEADER* dib = Dib(ruled);
    const int w = dib->biWidth;
    const int h = dib->biHeight;
    const auto at = [w](int x, int y) { return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + x; };
    std::vector<bool> onRule(at(0, h), false);
    std::vector<bool> nearRule(at(0, h), false);
    // Rules 1 to 6 pixels thick, level and slanted up to 2 degrees, 900
    // pixels long, every 97 rows from row 300.
    int i = 0;
    int rulePixels = 0;
    for (int y = 300; y < h - 300; y += 97, ++i) {
        const int thickness = 1 + i % 6;
        const double slope = std::tan((i % 5 - 2) * M_PI / 180.0);
        DrawRule(dib, 200, 1100, y, thickness, slope);
        for (int x = 200; x < 1100; ++x) {
            const int top = y + static_cast<int>(std::floor((x - 200) * slope + 0.5));
            for (int t = 0; t < thickness; ++t) {
                onRule[at(x, top + t)] = true;
                rulePixels += !IsBlack(textDib, x, top + t);
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) nearRule[at(x + dx, top + t + dy)] = true;
            }
        }
    }
    for (const LONG reconstruction : {0, 8}) {
        SCOPED_TRACE(testing::Message() << "reconstruction " << reconstruction);
        SetLong(u"RECONSTRUCTION", reconstruction);
        CComPtr<CZRDocument> page = Document(ImageWrapper::create_handle_from_dib(dib));
        ASSERT_EQ(Run(page->Pages()[0]), S_OK);
        BITMAPINFOHEADER* result = Dib(page);
        int ruleLeft = 0;
        int lostNear = 0;
        int lostAway = 0;
        int added = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool character = IsBlack(textDib, x, y);
                const bool black = IsBlack(result, x, y);
                ruleLeft += onRule[at(x, y)] && !character && black;
                lostNear += character && !onRule[at(x, y)] && nearRule[at(x, y)] && !black;
                lostAway += character && !nearRule[at(x, y)] && !black;
                added += black && !character && !onRule[at(x, y)];
            }
        }
        EXPECT_EQ(lostAway, 0);
        EXPECT_EQ(added, 0);
        EXPECT_LT(ruleLeft, rulePixels / 200);
        EXPECT_LT(lostNear, rulePixels / 100);
    }
}

// Vertical rules through the quarter-turned view.
TEST_F(TracedRemovalTest, ErasesVerticalRules) {
    Set(u"ORIENTATION", CComVariant("Vertical"));
    CComPtr<CZRDocument> document = CrossedRules(1);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    // Only the crossing stroke's pixels beside the rule stay.
    EXPECT_EQ(BlackIn(document, 595, 300, 606, 750), 3 * (5 + 3));
    EXPECT_EQ(BlackIn(document, 600, 300, 603, 750), 0);
    EXPECT_EQ(BlackIn(document, 50, 200, 750, 203), 3 * 700);  // the horizontal rule stays
    EXPECT_EQ(BlackIn(document, 570, 500, 595, 503), 75);      // the crossing stroke stays
}

}  // namespace
