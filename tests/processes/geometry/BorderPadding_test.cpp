// The border padding process: declared properties, margins of every depth
// with the page's pixels moved by exactly the left and top amounts, refused
// margins leaving the page as it was, and its progress.
#include "processes/geometry/CZRBorderPadding.h"
#include "tests/processes/geometry/GeometryTestSupport.h"

#include "resources/MessageIds.h"

#include <random>

namespace {

class BorderPaddingTest : public ProcessFixture<CZRBorderPadding> {
protected:
    // A one-page document filled with random pixels, and a copy of it.
    CComPtr<CZRDocument> Page(int width, int height, int bits) {
        CComPtr<CZRDocument> document = MakeDocument(width, height, bits);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(HandleOf(document));
        std::mt19937 random(5);
        BYTE* pixels = dib::Bits(dib);
        for (std::size_t i = 0; i < dib::Stride(width, dib->biBitCount) * height; ++i)
            pixels[i] = static_cast<BYTE>(random());
        ImageWrapper::delete_bitmap(original_);
        original_ = ImageWrapper::create_handle_from_dib(dib);
        return document;
    }
    void TearDown() override { ImageWrapper::delete_bitmap(original_); }
    static int HandleOf(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
    void Margins(SHORT left, SHORT top, SHORT right, SHORT bottom) {
        Set(u"CHANGELEFT", CComVariant(left));
        Set(u"CHANGETOP", CComVariant(top));
        Set(u"CHANGERIGHT", CComVariant(right));
        Set(u"CHANGEBOTTOM", CComVariant(bottom));
    }
    HRESULT Run(CZRDocument* document, VARIANT_BOOL* result = nullptr) {
        return ProcessFixture::Run(document->Pages()[0], result);
    }
    // The page is the original moved by (left, top) inside white margins.
    void ExpectPadded(CZRDocument* document, int left, int top, int right, int bottom) {
        const BITMAPINFOHEADER before = InfoOf(original_);
        const int handle = HandleOf(document);
        const BITMAPINFOHEADER after = InfoOf(handle);
        ASSERT_EQ(after.biWidth, before.biWidth + left + right);
        ASSERT_EQ(after.biHeight, before.biHeight + top + bottom);
        EXPECT_EQ(after.biBitCount, before.biBitCount);
        const unsigned white = before.biBitCount == 1 ? 1u : before.biBitCount == 8 ? 255u : 0xFFFFFFu;
        for (int y = 0; y < after.biHeight; ++y)
            for (int x = 0; x < after.biWidth; ++x) {
                const bool inside = x >= left && x < left + before.biWidth && y >= top && y < top + before.biHeight;
                ASSERT_EQ(PixelAt(handle, x, y), inside ? PixelAt(original_, x - left, y - top) : white)
                    << x << "," << y;
            }
    }
    int original_ = -1;
};

TEST_F(BorderPaddingTest, DeclaresSevenPropertiesAndTypeCode702) {
    const struct {
        const char16_t* key;
        VARTYPE type;
    } expected[] = {{u"CHANGELEFT", VT_I2}, {u"CHANGERIGHT", VT_I2}, {u"CHANGETOP", VT_I2},    {u"CHANGEBOTTOM", VT_I2},
                    {u"CROPBLACK", VT_I2},  {u"CROPWHITE", VT_I2},   {u"PROP_SILENT", VT_BOOL}};
    for (const auto& property : expected) {
        const CComVariant value = GetPropertyValue(process_, property.key);
        EXPECT_EQ(value.vt, property.type);
        EXPECT_EQ(value.iVal, 0);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
}

TEST_F(BorderPaddingTest, AddsEachMarginOnItsOwnSideAtEveryDepth) {
    for (int bits : {1, 8, 24}) {
        CComPtr<CZRDocument> document = Page(37, 21, bits);
        Margins(3, 5, 11, 2);
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(Run(document, &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        ExpectPadded(document, 3, 5, 11, 2);
    }
}

TEST_F(BorderPaddingTest, AllZeroLeavesThePage) {
    CComPtr<CZRDocument> document = Page(20, 10, 8);
    ASSERT_EQ(Run(document), S_OK);
    ExpectPadded(document, 0, 0, 0, 0);
}

TEST_F(BorderPaddingTest, NegativeMarginIsRefusedAndThePageKept) {
    CComPtr<CZRDocument> document = Page(20, 10, 1);
    Margins(5, 5, -1, 5);
    EXPECT_EQ(Run(document), MessageHr(IDS_INVALID_PARAMETER));
    EXPECT_EQ(LastErrorText(), "Invalid parameter.");
    ExpectPadded(document, 0, 0, 0, 0);
}

TEST_F(BorderPaddingTest, CanvasBeyondTheLibraryLimitIsRefusedAndThePageKept) {
    CComPtr<CZRDocument> document = Page(65535, 2, 1);
    Margins(0, 0, 1, 0);
    EXPECT_EQ(Run(document), MessageHr(IDS_INVALID_DIMENSIONS));
    EXPECT_EQ(LastErrorText(), "Invalid image dimensions");
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 65535);
    // Growing in the other direction still fits.
    Margins(0, 100, 0, 100);
    EXPECT_EQ(Run(document), S_OK);
    EXPECT_EQ(InfoOf(HandleOf(document)).biHeight, 202);
}

TEST_F(BorderPaddingTest, UnusedPropertiesAreStillRequired) {
    CComPtr<CZRDocument> document = Page(8, 8, 8);
    CComBSTR silent(u"PROP_SILENT");
    ASSERT_EQ(process_->PropertyBag()->RemoveProperty(silent), S_OK);
    Margins(1, 1, 1, 1);
    EXPECT_LT(Run(document), 0);
    EXPECT_EQ(InfoOf(HandleOf(document)).biWidth, 8);
}

TEST_F(BorderPaddingTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(-1);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

TEST_F(BorderPaddingTest, ReportsFiveThenEightyFiveThenHundred) {
    CComObject<RecordingSink>* sink = nullptr;
    ASSERT_EQ(CComObject<RecordingSink>::CreateInstance(&sink), S_OK);
    CComPtr<RecordingSink> held(sink);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(held, &cookie), S_OK);
    CComPtr<CZRDocument> document = Page(8, 8, 8);
    Margins(1, 0, 0, 0);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(held->Percents(), (std::vector<LONG>{5, 5, 85, 100}));
    point->Unadvise(cookie);
}

}  // namespace
