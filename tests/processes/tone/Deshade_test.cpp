// The deshade process as a host drives it: construction, the depth refusal,
// a shaded page cleaned in place, small pages, progress, a page without image.
#include "processes/tone/CZRDeshade.h"
#include "tests/processes/tone/TonePages.h"

namespace {

using namespace tone_test;

using DeshadeTest = ToneFixture<CZRDeshade>;

// A checkerboard over x, y in 40..360 with a horizontal stroke 4 pixels thick.
int ShadedPage(int x, int y) {
    const bool stroke = x >= 80 && x < 320 && y >= 150 && y < 154;
    const bool shade = x >= 40 && x < 360 && y >= 40 && y < 360 && (x + y) % 2 == 0;
    return stroke || shade ? 0 : 1;
}

TEST_F(DeshadeTest, HasTypeCode702NoPropertiesNoZonesAndSavesItself) {
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
    CComPtr<ZRZoneManager> zones;
    EXPECT_EQ(process_->GetZoneManager(&zones), S_OK);
    EXPECT_FALSE(zones);
    CComBSTR xml;
    EXPECT_EQ(process_->get_XML(&xml), S_OK);
    EXPECT_NE(BstrToUtf8(xml).find("ZRLeafmendClient91.Deshade.1"), std::string::npos);
}

TEST_F(DeshadeTest, GreyAndColourPagesAreRefusedAndUnchanged) {
    for (int bits : {8, 24}) {
        CComPtr<CZRDocument> document = Page(200, 150, bits, [](int x, int) { return x; });
        const std::vector<BYTE> rows = Rows(document);
        EXPECT_EQ(Run(document), CZRException::FromMessageId(2221)) << bits;
        EXPECT_EQ(PeekErrorDescription(), "Only black and white images are supported for this process.");
        EXPECT_EQ(Rows(document), rows);
    }
}

TEST_F(DeshadeTest, ShadingGoesTheStrokeStaysInPlace) {
    CComPtr<CZRDocument> document = Page(400, 400, 1, ShadedPage);
    const int handle = Handle(document);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(Handle(document), handle);
    int black = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) black += PixelAt(handle, x, y) == 0;
    for (int x = 90; x < 310; ++x)
        for (int y = 148; y < 156; ++y)
            ASSERT_EQ(PixelAt(handle, x, y), y >= 150 && y < 154 ? 0u : 1u) << x << "," << y;
    // The stroke, give or take its ends and corners.
    EXPECT_GE(black, 240 * 4 - 20);
    EXPECT_LE(black, 240 * 4 + 20);
}

TEST_F(DeshadeTest, PagesUnderAHundredPixelsStayAsTheyAre) {
    for (auto [w, h] : {std::pair{99, 300}, {300, 99}}) {
        CComPtr<CZRDocument> document = Page(w, h, 1, [](int x, int y) { return (x + y) % 2; });
        const std::vector<BYTE> rows = Rows(document);
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(Run(document, &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        EXPECT_EQ(Rows(document), rows);
    }
}

TEST_F(DeshadeTest, ReportsItsSetUpStepsThenTheWholeRange) {
    CComObject<RecordingSink>* object = nullptr;
    CComObject<RecordingSink>::CreateInstance(&object);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    CComPtr<CZRDocument> document = Page(200, 200, 1, [](int, int) { return 1; });
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(sink->Percents(), (std::vector<LONG>{5, 10, 15, 20, 25, 25, 100}));
    point->Unadvise(cookie);
}

TEST_F(DeshadeTest, PageWithoutImageFailsWithEPointer) {
    CComPtr<CZRDocument> document = Page(200, 200, 1, [](int, int) { return 1; });
    document->Pages()[0]->SetImage(nullptr);
    EXPECT_EQ(Run(document), E_POINTER);
}

}  // namespace
