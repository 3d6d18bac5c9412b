// The line-removal process as a host drives it: its properties and type
// code, the orientation rule, pointers it refuses, the progress it reports,
// and drawn pages whose rules and crossing strokes are known.
#include "processes/lines/CZRLineRemoval.h"

#include "tests/processes/lines/LinePages.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>

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

}  // namespace
