// The despeckle process as a host drives it: its properties, the progress it
// reports, refusals and bad pages, and whole synthetic text pages with specks
// of known size and place.
#include "processes/cleanup/CZRDespeckle.h"
#include "tests/processes/cleanup/DespecklePages.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "tools/synthpage/SyntheticPage.h"

#include <gtest/gtest.h>

namespace {

using namespace leafmend::synthpage;

class DespeckleTest : public ProcessFixture<CZRDespeckle> {
protected:
    void SetSize(LONG size) { Set(u"SIZE", CComVariant(size)); }
    void SetPreserve(SHORT preserve) { Set(u"CHARPRESERVE", CComVariant(preserve)); }
    // The page's bitmap, wrapped for reading and drawing.
    static PixelImage Pixels(CZRPage* page) { return PixelImage(ImageWrapper::get_raw_dib(page->Image()->Handle())); }
};

TEST_F(DespeckleTest, DeclaresSizeAndCharPreserveWithTypeCode798) {
    const struct {
        const char16_t* key;
        VARTYPE type;
    } expected[] = {{u"SIZE", VT_I4}, {u"CHARPRESERVE", VT_I2}};
    for (const auto& property : expected) {
        CComVariant value;
        CComBSTR key(property.key);
        ASSERT_EQ(process_->get_Properties(key, &value), S_OK);
        EXPECT_EQ(value.vt, property.type);
        EXPECT_EQ(property.type == VT_I4 ? value.lVal : value.iVal, 0);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 798);
}

TEST_F(DespeckleTest, SizeZeroRemovesSinglePixelsOnlyAndAnswersTrue) {
    CComPtr<CZRDocument> document = MakeDocument(40, 20, 1);
    CZRPage* page = document->Pages()[0];
    PixelImage pixels = Pixels(page);
    pixels.setPixel(5, 5, 0);
    pixels.setPixel(20, 5, 0);
    pixels.setPixel(21, 5, 0);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_TRUE(pixels.isWhite(5, 5));
    EXPECT_FALSE(pixels.isWhite(20, 5));
    EXPECT_FALSE(pixels.isWhite(21, 5));
}

TEST_F(DespeckleTest, GreyPageOfLevel200LosesItsBlackPixelAtSizeOne) {
    SetSize(1);
    CComPtr<CZRDocument> document = MakeDocument(30, 30, 8);
    CZRPage* page = document->Pages()[0];
    PixelImage pixels = Pixels(page);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) pixels.setPixel(x, y, 200);
    pixels.setPixel(12, 14, 0);
    ASSERT_EQ(Run(page), S_OK);
    std::uint8_t r = 0, g = 0, b = 0;
    pixels.getPixel(12, 14, r, g, b);
    EXPECT_EQ(r, 200);
}

struct ProgressCase {
    const char* name;
    int bits;
    std::vector<LONG> percents;
};

class DespeckleProgressTest : public DespeckleTest, public ::testing::WithParamInterface<ProgressCase> {};

// Set-up 5..25, then the engine's share mapped onto 25..100: on a 1-bit page
// 5 -> 28, 10 -> 32, column 0 -> 43, 75 -> 81, 80 -> 85.
TEST_P(DespeckleProgressTest, ReportsSetUpStepsThenTheEngineWithinTwentyFiveToHundred) {
    CComObject<RecordingSink>* object = nullptr;
    CComObject<RecordingSink>::CreateInstance(&object);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    CComBSTR name(u"Clean");
    process_->put_Name(name);
    CComPtr<CZRDocument> document = MakeDocument(50, 20, GetParam().bits);
    ASSERT_EQ(Run(document->Pages()[0]), S_OK);
    EXPECT_EQ(sink->Percents(), GetParam().percents);
    ASSERT_FALSE(sink->events.empty());
    EXPECT_EQ(sink->events.front().id, 301);
    EXPECT_EQ(sink->events.back().id, 302);
    EXPECT_EQ(sink->events.back().name, "Clean");
    point->Unadvise(cookie);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DespeckleProgressTest,
    ::testing::Values(ProgressCase{"BlackAndWhite", 1, {5, 10, 15, 20, 25, 25, 28, 32, 43, 81, 85, 100}},
                      ProgressCase{"Grey", 8, {5, 10, 15, 20, 25, 25, 100}},
                      ProgressCase{"Colour", 24, {5, 10, 15, 20, 25, 25, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DespeckleTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 1);
    CZRPage* page = document->Pages()[0];
    page->SetImage(nullptr);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

// The library holds only 1-, 8- and 24-bit bitmaps; a 4-bit header is made
// by relabelling an 8-bit one, whose rows are more than long enough.
TEST_F(DespeckleTest, FourBitPageIsRefusedWithOnlyBlackAndWhite) {
    CComPtr<CZRDocument> document = MakeDocument(32, 8, 8);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle());
    dib->biBitCount = 4;
    EXPECT_EQ(Run(document->Pages()[0]), CZRException::FromMessageId(2221));
    EXPECT_EQ(PeekErrorDescription(), "Only black and white images are supported for this process.");
    dib->biBitCount = 8;
}

// An image object whose bitmap is gone has no header to read a depth from.
TEST_F(DespeckleTest, ImageWithoutBitmapFailsInsteadOfReadingNothing) {
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 1);
    CZRPage* page = document->Pages()[0];
    page->Image()->SetHandle(-1);
    EXPECT_EQ(Run(page), static_cast<HRESULT>(0x80040870u));
    EXPECT_EQ(PeekErrorDescription(), "Unknown internal error");
}

struct BadPage {
    const char* name;
    int width, height, bits;
    bool black;  // every pixel black
    HRESULT expected;
};

class DespeckleBadPageTest : public DespeckleTest, public ::testing::WithParamInterface<BadPage> {};

TEST_P(DespeckleBadPageTest, NeverCrashesAndChangesUniformPagesOnlyWhenAllOfItIsASpeck) {
    const BadPage& c = GetParam();
    for (LONG size : {0, 1, 3, 500, 100000, -4}) {
        SetSize(size);
        SetPreserve(1);
        CComPtr<CZRDocument> document = MakeDocument(c.width, c.height, c.bits);
        const int handle = document->Pages()[0]->Image()->Handle();
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        const std::size_t bytes = dib::Stride(dib->biWidth, dib->biBitCount) * static_cast<std::size_t>(dib->biHeight);
        if (c.black) std::fill_n(dib::Bits(dib), bytes, 0);
        const std::vector<BYTE> before(dib::Bits(dib), dib::Bits(dib) + bytes);
        EXPECT_EQ(Run(document->Pages()[0]), c.expected) << size;
        // A black 1-bit page is one group, a speck when no side exceeds the limit.
        const bool erased = c.expected == S_OK && c.black && c.bits == 1 &&
                            std::max(c.width, c.height) <= SpeckleRemover::SizeLimitFor(size);
        const std::vector<BYTE> after(dib::Bits(dib), dib::Bits(dib) + bytes);
        if (erased) {
            EXPECT_EQ(Pixels(document->Pages()[0]).isWhite(c.width - 1, c.height - 1), true) << size;
        } else {
            EXPECT_EQ(after, before) << size;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DespeckleBadPageTest,
    ::testing::Values(
        // Too small for the pixel access: "Invalid image dimensions" (2165), not an unknown error.
        BadPage{"NarrowBlackAndWhite", 7, 5, 1, false, static_cast<HRESULT>(0x80040875u)},
        BadPage{"NarrowGrey", 3, 3, 8, true, static_cast<HRESULT>(0x80040875u)},
        BadPage{"OneRowBlackAndWhite", 8, 1, 1, true, S_OK}, BadPage{"OneRowGrey", 9, 1, 8, true, S_OK},
        BadPage{"OneRowColour", 8, 1, 24, false, S_OK}, BadPage{"AllBlackBlackAndWhite", 300, 200, 1, true, S_OK},
        BadPage{"AllBlackGrey", 120, 90, 8, true, S_OK}, BadPage{"AllBlackColour", 120, 90, 24, true, S_OK},
        BadPage{"BlankBlackAndWhite", 300, 200, 1, false, S_OK}, BadPage{"BlankColour", 64, 64, 24, false, S_OK}),
    [](const auto& info) { return std::string(info.param.name); });

// A text page at 150 dpi with 400 square specks of 1 to 5 pixels, each at
// least 10 pixels clear of ink. "SIZE" 3: every speck of 1 to 3 pixels goes,
// the rest stay. Without preservation the page must be exactly what
// Leptonica's own 4-connected components say; with it, no text pixel that
// the plain rule keeps may be lost, and nothing but specks and small text
// groups may go.
class DespeckleTextPageTest : public DespeckleTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DespeckleTextPageTest, RemovesEverySpeckUpToTheLimitAndLosesNoText) {
    const bool preserve = GetParam();
    PageOptions options;  // letter at 150 dpi
    options.specks.count = 400;
    options.specks.sizes = {1, 2, 3, 4, 5};
    options.specks.clearance = 10;
    GroundTruth truth;
    Pix* withSpecks = RenderPage(options, &truth);
    ASSERT_GT(truth.specks.size(), 300u);
    PageOptions clean = options;
    clean.specks.count = 0;
    Pix* textOnly = RenderPage(clean, nullptr);
    Pix* plainRule = despeckle_test::KeepLargeGroups(withSpecks, 3);

    CComPtr<CZRDocument> document = MakeDocument(pixGetWidth(withSpecks), pixGetHeight(withSpecks), 1);
    CZRPage* page = document->Pages()[0];
    PixelImage pixels = Pixels(page);
    despeckle_test::CopyPixToPage(withSpecks, pixels);
    SetSize(3);
    SetPreserve(preserve ? 1 : 0);
    ASSERT_EQ(Run(page), S_OK);
    Pix* result = despeckle_test::PageToPix(pixels);

    for (const Speck& speck : truth.specks) {
        for (int y = speck.box.y; y < speck.box.Bottom(); ++y) {
            for (int x = speck.box.x; x < speck.box.Right(); ++x) {
                l_uint32 text = 0;
                pixGetPixel(textOnly, x, y, &text);
                if (text) continue;
                l_uint32 ink = 0;
                pixGetPixel(result, x, y, &ink);
                ASSERT_EQ(ink != 0, speck.size > 3) << "speck of " << speck.size << " at " << x << "," << y;
            }
        }
    }
    if (!preserve) {
        EXPECT_TRUE(despeckle_test::SamePixels(result, plainRule));
    } else {
        // plainRule <= result <= withSpecks, pixel by pixel.
        Pix* lost = pixSubtract(nullptr, plainRule, result);
        Pix* added = pixSubtract(nullptr, result, withSpecks);
        l_int32 zero = 0;
        pixZero(lost, &zero);
        EXPECT_TRUE(zero) << "text lost";
        pixZero(added, &zero);
        EXPECT_TRUE(zero) << "ink added";
        pixDestroy(&lost);
        pixDestroy(&added);
    }
    pixDestroy(&withSpecks);
    pixDestroy(&textOnly);
    pixDestroy(&plainRule);
    pixDestroy(&result);
}

INSTANTIATE_TEST_SUITE_P(Preserve, DespeckleTextPageTest, ::testing::Values(false, true));

}  // namespace
