// The crop process as a host drives it: its property table, fixed margins
// and detected borders through Process, the refusal of grey pages in
// invert-black mode, progress, and pages it cannot work on.
#include "processes/cleanup/CZRCrop.h"
#include "tests/processes/cleanup/PageChecks.h"
#include "tests/support/ProcessFixture.h"

#include "framework/CZRException.h"
#include "image/PixelImage.h"
#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

namespace {

using namespace cleanup_test;

using CropProcessTest = ProcessFixture<CZRCrop>;

TEST_F(CropProcessTest, DeclaresEightShortPropertiesAtZeroWithTypeCode702) {
    for (const char16_t* key :
         {u"TOP", u"BOTTOM", u"LEFT", u"RIGHT", u"CROPBLACK", u"INVERTBLACK", u"CROPWHITE", u"BORDERSENSITIVITY"}) {
        CComVariant value;
        CComBSTR name(key);
        ASSERT_EQ(process_->get_Properties(name, &value), S_OK);
        EXPECT_EQ(value.vt, VT_I2);
        EXPECT_EQ(value.iVal, 0);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
}

TEST_F(CropProcessTest, AllPropertiesZeroLeavesThePageAndAnswersTrue) {
    const Grid grid = RandomGrid(64, 40, 0.3, 3);
    CComPtr<CZRDocument> document = DocumentOf(grid);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(GridOf(document->Pages()[0]), grid);
}

TEST_F(CropProcessTest, LeftAndRightOf600OnA1000WidePageBecome450Each) {
    Set(u"LEFT", CComVariant(static_cast<SHORT>(600)));
    Set(u"RIGHT", CComVariant(static_cast<SHORT>(600)));
    Grid grid(1000, 80);
    grid.at(450, 7) = 0;
    grid.at(549, 8) = 0;
    CComPtr<CZRDocument> document = DocumentOf(grid);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    const Grid out = GridOf(document->Pages()[0]);
    EXPECT_EQ(out.width, 100);
    EXPECT_EQ(out.height, 80);
    EXPECT_EQ(out.at(0, 7), 0);
    EXPECT_EQ(out.at(99, 8), 0);
    EXPECT_EQ(out.blackCount(), 2);
}

TEST_F(CropProcessTest, TopScanOfAWhiteBorderCutsThirtyNineRows) {
    Set(u"CROPWHITE", CComVariant(static_cast<SHORT>(1)));
    Set(u"BORDERSENSITIVITY", CComVariant(static_cast<SHORT>(5)));
    Grid grid(300, 200);
    grid.fillRect(0, 40, 300, 160, 0);
    CComPtr<CZRDocument> document = DocumentOf(grid);
    ImageWrapper::set_resolution(document->Pages()[0]->Image()->Handle(), 300, 300);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    const Grid out = GridOf(document->Pages()[0]);
    EXPECT_EQ(out.height, 161);
    EXPECT_EQ(out.width, 300);
    EXPECT_EQ(out.at(0, 0), 1);
    EXPECT_EQ(out.at(0, 1), 0);
}

TEST_F(CropProcessTest, InvertBlackOnAGreyPagePosts2301AndChangesNothing) {
    Set(u"INVERTBLACK", CComVariant(static_cast<SHORT>(1)));
    CComBSTR name(u"Trim");
    process_->put_Name(name);
    CComPtr<CZRDocument> document = MakeDocument(40, 30, 8);
    CZRPage* page = document->Pages()[0];
    PixelImage(ImageWrapper::get_raw_dib(page->Image()->Handle())).setPixel(0, 3, 0);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const auto messages = Messages(page);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].process, "Trim");
    EXPECT_EQ(messages[0].type, 2);
    EXPECT_EQ(messages[0].text, "The image must be 1 bpp (black and white).");
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 0, 3), 0u);
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 1, 3), 255u);
}

TEST_F(CropProcessTest, CropBlackOnAGreyPageCutsWithoutAMessage) {
    Set(u"CROPBLACK", CComVariant(static_cast<SHORT>(1)));
    Set(u"BORDERSENSITIVITY", CComVariant(static_cast<SHORT>(3)));
    CComPtr<CZRDocument> document = MakeDocument(200, 160, 8);
    CZRPage* page = document->Pages()[0];
    PixelImage pixels(ImageWrapper::get_raw_dib(page->Image()->Handle()));
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) pixels.setPixel(x, y, (x < 20 || y < 25) ? 15 : 235);
    ASSERT_EQ(Run(page), S_OK);
    EXPECT_TRUE(Messages(page).empty());
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(page->Image()->Handle());
    EXPECT_EQ(dib->biWidth, 180);
    EXPECT_EQ(dib->biHeight, 135);
}

TEST_F(CropProcessTest, CropBlackOnAFramedScanLeavesTheTextAlone) {
    Set(u"CROPBLACK", CComVariant(static_cast<SHORT>(1)));
    Set(u"BORDERSENSITIVITY", CComVariant(static_cast<SHORT>(2)));
    Grid grid(400, 300, 0);
    grid.fillRect(30, 25, 340, 250, 1);
    grid.fillRect(100, 100, 50, 10, 0);
    CComPtr<CZRDocument> document = DocumentOf(grid);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    const Grid out = GridOf(document->Pages()[0]);
    EXPECT_EQ(out.width, 340);
    EXPECT_EQ(out.height, 250);
    EXPECT_EQ(out.blackCount(), 500);
    EXPECT_EQ(out.at(70, 75), 0);
}

TEST_F(CropProcessTest, DeclaresBorderFillAsAShortAtZero) {
    CComVariant value;
    CComBSTR name(u"BORDERFILL");
    ASSERT_EQ(process_->get_Properties(name, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I2);
    EXPECT_EQ(value.iVal, 0);
}

// A frame whose inner edge steps in and out: the row ends alone leave the
// steps of the top and bottom bands; the frame fill leaves only the text.
TEST_F(CropProcessTest, BorderFillRemovesASteppedFrameThatRowEndsLeave) {
    Grid grid(400, 300);
    for (int x = 0; x < 400; ++x) {
        const int band = 20 + (x / 50) % 3 * 6;
        grid.fillRect(x, 0, 1, band, 0);
        grid.fillRect(x, 300 - band, 1, band, 0);
    }
    grid.fillRect(0, 0, 25, 300, 0);
    grid.fillRect(100, 100, 50, 10, 0);
    for (const SHORT fill : {0, 1}) {
        Set(u"CROPBLACK", CComVariant(static_cast<SHORT>(1)));
        Set(u"BORDERFILL", CComVariant(fill));
        CComPtr<CZRDocument> document = DocumentOf(grid);
        ImageWrapper::set_resolution(document->Pages()[0]->Image()->Handle(), 300, 300);
        ASSERT_EQ(Run(document->Pages()[0]), S_OK);
        const Grid out = GridOf(document->Pages()[0]);
        if (fill == 1) {
            EXPECT_EQ(out.blackCount(), 500);
        } else {
            EXPECT_GT(out.blackCount(), 1000);
        }
    }
}

TEST_F(CropProcessTest, ReportsProgressFromFiveToHundred) {
    Set(u"LEFT", CComVariant(static_cast<SHORT>(5)));
    CComPtr<CZRDocument> document = MakeDocument(120, 60, 1);
    const std::vector<LONG> percents = ProgressOf(process_.get(), document->Pages()[0]);
    ASSERT_GE(percents.size(), 2u);
    EXPECT_EQ(percents.front(), 5);
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(CropProcessTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 1);
    document->Pages()[0]->SetImage(nullptr);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

// A page narrower than the pixel reader takes fails as an error, unchanged.
TEST_F(CropProcessTest, PageTooNarrowForDetectionFailsAndKeepsItsPixels) {
    Set(u"CROPWHITE", CComVariant(static_cast<SHORT>(1)));
    const Grid grid(6, 50, 0);
    CComPtr<CZRDocument> document = DocumentOf(grid);
    EXPECT_EQ(Run(document->Pages()[0]), static_cast<HRESULT>(0x80040875u));
    EXPECT_EQ(PeekErrorDescription(), "Invalid image dimensions");
    EXPECT_EQ(GridOf(document->Pages()[0]), grid);
}

}  // namespace
