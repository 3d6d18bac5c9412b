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
    void SetSizeDpi(LONG dpi) { Set(u"SIZEDPI", CComVariant(dpi)); }
    // The page's x and y resolution as its bitmap records them (any value).
    static void SetResolution(CZRPage* page, LONG dpi) {
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(page->Image()->Handle());
        dib->biXPelsPerMeter = dib->biYPelsPerMeter = dpi;
    }
    // The page's bitmap, wrapped for reading and drawing.
    static PixelImage Pixels(CZRPage* page) { return PixelImage(ImageWrapper::get_raw_dib(page->Image()->Handle())); }
};

TEST_F(DespeckleTest, DeclaresSizeCharPreserveAndSizeDpiWithTypeCode798) {
    const struct {
        const char16_t* key;
        VARTYPE type;
    } expected[] = {{u"SIZE", VT_I4}, {u"CHARPRESERVE", VT_I2}, {u"SIZEDPI", VT_I4}};
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

// "SIZE" 4 meant at 300 dpi, preservation on, on pages of several
// resolutions. Each page holds an i (a stem with its dot `gap` rows above it),
// a stem with a full stop beside it, a stroke fragment of the size that always
// goes beside the first stem, and lone square specks of 1 to limit + 1 pixels.
// The dot and the stop are as large as at that resolution (2 pixels at 150,
// 8 at 600, their gap 10 rows there: beyond the documented reach of 6).
struct ResolutionCase {
    const char* name;
    LONG dpi;
    int dot;           // side of the i's dot and of the full stop
    int gap;           // rows between the dot and the stem
    int limit;         // largest speck removed
    int alwaysErased;  // side of the fragment that goes beside the stem
};

class DespeckleResolutionTest : public DespeckleTest, public ::testing::WithParamInterface<ResolutionCase> {};

TEST_P(DespeckleResolutionTest, RemovesSpecksUpToTheScaledSizeAndKeepsDotsAndStops) {
    const ResolutionCase& c = GetParam();
    SetSize(4);
    SetPreserve(1);
    SetSizeDpi(300);
    CComPtr<CZRDocument> document = MakeDocument(500, 200, 1);
    CZRPage* page = document->Pages()[0];
    SetResolution(page, c.dpi);
    PixelImage pixels = Pixels(page);
    const auto rect = [&](int x, int y, int w, int h) {
        for (int r = y; r < y + h; ++r)
            for (int q = x; q < x + w; ++q) pixels.setPixel(q, r, 0);
    };
    rect(40, 60, c.dot, 40);                                   // stem of the i
    rect(40, 60 - c.gap - c.dot, c.dot, c.dot);                // its dot
    rect(40 + c.dot + 2, 80, c.alwaysErased, c.alwaysErased);  // fragment beside it
    rect(100, 60, c.dot, 40);                                  // a stem ...
    rect(100 + c.dot + 2, 100 - c.dot, c.dot, c.dot);          // ... and the stop after it
    for (int side = 1; side <= c.limit + 1; ++side) rect(150 + 30 * side, 160, side, side);
    ASSERT_EQ(Run(page), S_OK);

    EXPECT_FALSE(pixels.isWhite(40, 60 - c.gap - c.dot)) << "dot of the i lost";
    EXPECT_FALSE(pixels.isWhite(100 + c.dot + 2, 100 - c.dot)) << "full stop lost";
    EXPECT_TRUE(pixels.isWhite(40 + c.dot + 2, 80)) << "fragment of " << c.alwaysErased << " kept";
    for (int side = 1; side <= c.limit + 1; ++side)
        EXPECT_EQ(pixels.isWhite(150 + 30 * side, 160), side <= c.limit) << "speck of " << side;
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 500; ++x) black += pixels.isWhite(x, y) ? 0 : 1;
    EXPECT_EQ(black, 2 * 40 * c.dot + 2 * c.dot * c.dot + (c.limit + 1) * (c.limit + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Resolutions, DespeckleResolutionTest,
    ::testing::Values(ResolutionCase{"At150", 150, 2, 2, 2, 1}, ResolutionCase{"At200", 200, 3, 3, 3, 1},
                      ResolutionCase{"At300", 300, 4, 4, 4, 2}, ResolutionCase{"At600", 600, 8, 10, 8, 4},
                      // Without a resolution, or with 1 dpi (a 200-inch page), the 500 x 200 page is
                      // taken as an A4 sheet's 24 dpi: the smallest rule.
                      ResolutionCase{"NoResolution", 0, 3, 2, 1, 1}, ResolutionCase{"OneDpi", 1, 2, 2, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A 150-dpi A4 scan whose file records no resolution, or 72 dpi: it is
// cleaned as at 150 dpi, so the dot of an i (2 x 2) beside its stem and a
// lone 3 x 3 speck stay while a lone 2 x 2 speck goes. Taken as 300 dpi the
// dot would go too.
TEST_F(DespeckleTest, ScanWithoutItsResolutionIsSizedAsAnA4Sheet) {
    for (const LONG recorded : {0, 72}) {
        SCOPED_TRACE(recorded);
        SetSize(4);
        SetPreserve(1);
        SetSizeDpi(300);
        CComPtr<CZRDocument> document = MakeDocument(1240, 1754, 1);
        CZRPage* page = document->Pages()[0];
        SetResolution(page, recorded);
        PixelImage pixels = Pixels(page);
        const auto rect = [&](int x, int y, int w, int h) {
            for (int r = y; r < y + h; ++r)
                for (int q = x; q < x + w; ++q) pixels.setPixel(q, r, 0);
        };
        rect(100, 100, 2, 12);  // stem of the i
        rect(100, 96, 2, 2);    // its dot
        rect(300, 300, 2, 2);   // lone specks
        rect(400, 300, 3, 3);
        ASSERT_EQ(Run(page), S_OK);
        EXPECT_FALSE(pixels.isWhite(100, 96)) << "dot of the i lost";
        EXPECT_TRUE(pixels.isWhite(300, 300)) << "2 x 2 speck kept";
        EXPECT_FALSE(pixels.isWhite(400, 300)) << "3 x 3 speck lost";
    }
}

// Extreme resolutions and references: the limit stays within 1 ... 500, so a
// rule 600 pixels long is never a speck, whatever the page claims.
struct ExtremeCase {
    const char* name;
    LONG dpi;
    LONG size;
    LONG sizeDpi;
    int limit;
};

class DespeckleExtremeResolutionTest : public DespeckleTest, public ::testing::WithParamInterface<ExtremeCase> {};

TEST_P(DespeckleExtremeResolutionTest, NeverOverflowsNorErasesWhatExceedsFiveHundred) {
    const ExtremeCase& c = GetParam();
    SetSize(c.size);
    SetPreserve(1);
    SetSizeDpi(c.sizeDpi);
    CComPtr<CZRDocument> document = MakeDocument(640, 340, 1);
    CZRPage* page = document->Pages()[0];
    SetResolution(page, c.dpi);
    PixelImage pixels = Pixels(page);
    for (int x = 20; x < 620; ++x)
        for (int y = 10; y < 13; ++y) pixels.setPixel(x, y, 0);
    // Squares of the limit (up to 100) and of one more (up to 201), farther
    // from each other and from the rule than the longest reach (64).
    const int removed = std::min(c.limit, 100);
    const int kept = std::min(c.limit + 1, 201);
    for (int y = 100; y < 100 + removed; ++y)
        for (int x = 20; x < 20 + removed; ++x) pixels.setPixel(x, y, 0);
    for (int y = 100; y < 100 + kept; ++y)
        for (int x = 200; x < 200 + kept; ++x) pixels.setPixel(x, y, 0);
    ASSERT_EQ(Run(page), S_OK);
    EXPECT_FALSE(pixels.isWhite(619, 12)) << "the rule was erased";
    EXPECT_TRUE(pixels.isWhite(20, 100)) << "square of " << removed << " kept";
    EXPECT_EQ(pixels.isWhite(200, 100), kept <= c.limit) << "square of " << kept;
}

INSTANTIATE_TEST_SUITE_P(Extremes, DespeckleExtremeResolutionTest,
                         ::testing::Values(ExtremeCase{"OneDpi", 1, 4, 300, 1},
                                           ExtremeCase{"TenThousandDpi", 10000, 4, 300, 133},
                                           ExtremeCase{"LargestResolution", 2147483647, 500, 1, 500},
                                           ExtremeCase{"LargestReference", 600, 500, 2147483647, 1},
                                           ExtremeCase{"NegativeResolution", -300, 4, 300, 1},
                                           ExtremeCase{"NegativeReference", 600, 4, -300, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// Grey pages: the painted square's side follows the resolution too. A 2 x 2
// black block on level 200 at 300 dpi: "SIZE" 1 paints single pixels only,
// "SIZE" 1 meant at 150 dpi paints 2 x 2.
TEST_F(DespeckleTest, GreyPageSquareSideFollowsTheResolution) {
    for (const LONG sizeDpi : {0, 150}) {
        SetSize(1);
        SetSizeDpi(sizeDpi);
        CComPtr<CZRDocument> document = MakeDocument(30, 30, 8);
        CZRPage* page = document->Pages()[0];
        SetResolution(page, 300);
        PixelImage pixels = Pixels(page);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) pixels.setPixel(x, y, 200);
        for (int y = 12; y < 14; ++y)
            for (int x = 12; x < 14; ++x) pixels.setPixel(x, y, 0);
        ASSERT_EQ(Run(page), S_OK);
        std::uint8_t r = 0, g = 0, b = 0;
        pixels.getPixel(13, 13, r, g, b);
        EXPECT_EQ(r, sizeDpi ? 200 : 0) << sizeDpi;
    }
}

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
