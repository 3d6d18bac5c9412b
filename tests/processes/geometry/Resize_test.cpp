// The resize process as a host drives it: declared properties, the settings
// each mode reads, refusals with their messages and untouched pages, real
// rescales of pages of every depth, and the progress it reports.
#include "processes/geometry/CZRResize.h"
#include "tests/processes/geometry/GeometryTestSupport.h"

#include "resources/MessageIds.h"

namespace {

class ResizeTest : public ProcessFixture<CZRResize> {
protected:
    // A one-page document of the given size, depth and resolution.
    CComPtr<CZRDocument> Page(int width, int height, int bits, int dpi) {
        CComPtr<CZRDocument> document = MakeDocument(width, height, bits);
        ImageWrapper::set_resolution(HandleOf(document), dpi, dpi);
        return document;
    }
    static int HandleOf(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
    void Set(const char16_t* key, SHORT value) { ProcessFixture::Set(key, CComVariant(value)); }
    HRESULT Run(CZRDocument* document, VARIANT_BOOL* result = nullptr) {
        return ProcessFixture::Run(document->Pages()[0], result);
    }
    // Runs and expects the failure `id` with its text, the page left as it was.
    void ExpectRefused(CZRDocument* document, UINT id, const char* text) {
        const BITMAPINFOHEADER before = InfoOf(HandleOf(document));
        EXPECT_EQ(Run(document), MessageHr(id));
        EXPECT_EQ(LastErrorText(), text);
        const BITMAPINFOHEADER after = InfoOf(HandleOf(document));
        EXPECT_EQ(after.biWidth, before.biWidth);
        EXPECT_EQ(after.biHeight, before.biHeight);
        EXPECT_EQ(after.biXPelsPerMeter, before.biXPelsPerMeter);
    }
};

TEST_F(ResizeTest, DeclaresSixShortPropertiesWithDefaultsAndTypeCode702) {
    const struct {
        const char16_t* key;
        SHORT value;
    } expected[] = {{u"RESIZE_MODE", 0},    {u"RESIZE_QUALITY", 2}, {u"RESIZE_WIDTH", -1},
                    {u"RESIZE_HEIGHT", -1}, {u"RESIZE_DPI", -1},    {u"RESIZE_PERCENT", 100}};
    for (const auto& property : expected) {
        const CComVariant value = GetPropertyValue(process_, property.key);
        EXPECT_EQ(value.vt, VT_I2);
        EXPECT_EQ(value.iVal, property.value);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
}

TEST_F(ResizeTest, NewProcessFailsEveryPageUntilASizeIsSet) {
    for (int bits : {1, 8, 24}) {
        CComPtr<CZRDocument> document = Page(50, 40, bits, 300);
        ExpectRefused(document, IDS_INVALID_DIMENSIONS, "Invalid image dimensions");
    }
    Set(u"RESIZE_WIDTH", 25);
    Set(u"RESIZE_HEIGHT", 20);
    CComPtr<CZRDocument> document = Page(50, 40, 8, 300);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 25);
    EXPECT_EQ(InfoOf(HandleOf(document)).biHeight, 20);
    EXPECT_TRUE(document->Pages()[0]->Image()->Modified());
}

TEST_F(ResizeTest, Resolution1200QuadruplesA300DpiPageAnd1201IsRefused) {
    Set(u"RESIZE_MODE", 2);
    Set(u"RESIZE_DPI", 1200);
    for (int bits : {1, 8, 24}) {
        CComPtr<CZRDocument> document = Page(31, 17, bits, 300);
        ASSERT_EQ(Run(document), S_OK);
        const BITMAPINFOHEADER after = InfoOf(HandleOf(document));
        EXPECT_EQ(after.biWidth, 124);
        EXPECT_EQ(after.biHeight, 68);
        EXPECT_EQ(after.biXPelsPerMeter, 1200);
        EXPECT_EQ(after.biYPelsPerMeter, 1200);
        EXPECT_EQ(after.biBitCount, bits);
    }
    CComPtr<CZRDocument> document = Page(31, 17, 8, 300);
    for (SHORT dpi : {1201, 0, -5}) {
        Set(u"RESIZE_DPI", dpi);
        ExpectRefused(document, IDS_INVALID_DPI, "Invalid DPI");
    }
}

TEST_F(ResizeTest, PageOfUnknownResolutionCannotTakeANewResolution) {
    Set(u"RESIZE_MODE", 2);
    Set(u"RESIZE_DPI", 300);
    CComPtr<CZRDocument> document = Page(31, 17, 8, 0);
    ExpectRefused(document, IDS_INVALID_DIMENSIONS, "Invalid image dimensions");
}

TEST_F(ResizeTest, QualityOutsideOneToThreeFailsOnlyWhenThereIsWork) {
    Set(u"RESIZE_QUALITY", 4);
    Set(u"RESIZE_MODE", 1);
    CComPtr<CZRDocument> document = Page(40, 30, 24, 300);
    EXPECT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 40);
    Set(u"RESIZE_PERCENT", 50);
    ExpectRefused(document, IDS_INVALID_QUALITY, "Invalid quality selection");
}

TEST_F(ResizeTest, PercentHalvesTruncatingAndNonPositivePercentIsRefused) {
    Set(u"RESIZE_MODE", 1);
    Set(u"RESIZE_PERCENT", 50);
    CComPtr<CZRDocument> document = Page(41, 29, 1, 200);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 20);
    EXPECT_EQ(InfoOf(HandleOf(document)).biHeight, 14);
    EXPECT_EQ(InfoOf(HandleOf(document)).biXPelsPerMeter, 200);
    for (SHORT percent : {0, -50}) {
        Set(u"RESIZE_PERCENT", percent);
        ExpectRefused(document, IDS_INVALID_PERCENTAGE, "Invalid percentage");
    }
}

TEST_F(ResizeTest, SizeSettingsOfOtherModesAreNotRead) {
    // Mode 1 ignores width and height; mode 3 reads no size at all.
    Set(u"RESIZE_WIDTH", 10);
    Set(u"RESIZE_HEIGHT", 10);
    Set(u"RESIZE_MODE", 1);
    CComPtr<CZRDocument> document = Page(40, 30, 8, 300);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 40);
    Set(u"RESIZE_MODE", 3);
    ExpectRefused(document, IDS_INVALID_DIMENSIONS, "Invalid image dimensions");
}

TEST_F(ResizeTest, BadFixedSizesAreRefusedAndZeroByZeroLeavesThePage) {
    CComPtr<CZRDocument> document = Page(40, 30, 8, 300);
    const struct { SHORT width, height; } refused[] = {{0, 30}, {40, 0}, {-1, 30}, {-32768, -32768}};
    for (const auto& size : refused) {
        Set(u"RESIZE_WIDTH", size.width);
        Set(u"RESIZE_HEIGHT", size.height);
        ExpectRefused(document, IDS_INVALID_DIMENSIONS, "Invalid image dimensions");
    }
    Set(u"RESIZE_WIDTH", 0);
    Set(u"RESIZE_HEIGHT", 0);
    EXPECT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 40);
}

TEST_F(ResizeTest, Widest65535PixelPageIsRefusedWhenItWouldGrowPastTheLibrary) {
    Set(u"RESIZE_WIDTH", 32767);
    Set(u"RESIZE_HEIGHT", 3);
    CComPtr<CZRDocument> document = Page(65535, 2, 1, 300);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 32767);
    CComPtr<CZRDocument> wide = Page(65535, 2, 1, 300);
    Set(u"RESIZE_MODE", 2);
    Set(u"RESIZE_DPI", 600);
    ExpectRefused(wide, IDS_UNKNOWN_INTERNAL_ERROR, "Unknown internal error");
}

TEST_F(ResizeTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(-1);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

TEST_F(ResizeTest, NullArgumentsAreRefused) {
    VARIANT_BOOL result;
    EXPECT_EQ(process_->Process(nullptr, &result), E_INVALIDARG);
    CComPtr<CZRDocument> document = Page(4, 4, 8, 300);
    EXPECT_EQ(process_->Process(document->Pages()[0], nullptr), E_POINTER);
}

TEST_F(ResizeTest, ReportsTwentyOnceTheSettingsAreRead) {
    CComObject<RecordingSink>* sink = nullptr;
    ASSERT_EQ(CComObject<RecordingSink>::CreateInstance(&sink), S_OK);
    CComPtr<RecordingSink> held(sink);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(held, &cookie), S_OK);
    Set(u"RESIZE_WIDTH", 8);
    Set(u"RESIZE_HEIGHT", 8);
    CComPtr<CZRDocument> document = Page(16, 16, 8, 300);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(held->Percents(), (std::vector<LONG>{20, 100}));
    ASSERT_FALSE(held->events.empty());
    EXPECT_EQ(held->events.front().id, 301);
    EXPECT_EQ(held->events.back().id, 302);
    point->Unadvise(cookie);
}

}  // namespace
