// The dynamic thresholding process as a host drives it: properties, whole-page
// and zone runs on grey and colour pages, the image type, 1-bit pages and the
// status message, bad zones, small pages and unsupported depths.
#include "processes/tone/CZRDynamicThresholding.h"
#include "tests/processes/tone/TonePages.h"

namespace {

using namespace tone_test;

constexpr HRESULT kUnknown = static_cast<HRESULT>(0x800407D1u);

// Text squares (grey 40) on paper (grey 210).
int TextPage(int x, int y) { return (x % 20) < 6 && (y % 16) < 10 ? 40 : 210; }

class DynamicThresholdingTest : public ToneFixture<CZRDynamicThresholding> {
protected:
    LONG ImageType(CZRDocument* document) {
        LONG type = -1;
        document->Pages()[0]->Image()->GetImageType(&type);
        return type;
    }
};

TEST_F(DynamicThresholdingTest, DeclaresFivePropertiesWithDefaultsAndTypeCode798) {
    const struct {
        const char16_t* key;
        VARTYPE type;
        LONG value;
    } expected[] = {{u"EDGEDETECT", VT_I2, 0},
                    {u"LOCALTHRESH", VT_I2, 0},
                    {u"LOCALTHRESHCONTRAST", VT_I4, 20},
                    {u"LOCALTHRESHBOXSIZE", VT_I4, -1},
                    {u"CONTRASTSHIFT", VT_I4, 100}};
    for (const auto& property : expected) {
        const CComVariant value = Get(property.key);
        EXPECT_EQ(value.vt, property.type);
        EXPECT_EQ(property.type == VT_I4 ? value.lVal : value.iVal, property.value);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 798);
}

struct DepthCase {
    const char* name;
    int bits;
    const char16_t* method;  // property switched on, or null for the default
};

class WholePageTest : public DynamicThresholdingTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(WholePageTest, BecomesOneBitOfTheSameSizeAndResolutionWithImageType2) {
    if (GetParam().method) Set(GetParam().method, CComVariant(static_cast<SHORT>(1)));
    CComPtr<CZRDocument> document = Page(301, 203, GetParam().bits, TextPage, 240);
    const int before = Handle(document);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_NE(Handle(document), before);
    const BITMAPINFOHEADER* dib = Header(document);
    EXPECT_EQ(dib->biBitCount, 1);
    EXPECT_EQ(dib->biWidth, 301);
    EXPECT_EQ(dib->biHeight, 203);
    EXPECT_EQ(dib->biXPelsPerMeter, 240);
    EXPECT_EQ(dib->biYPelsPerMeter, 240);
    EXPECT_EQ(ImageType(document), 2);
    // Global: the text squares black, the paper white, and the last row and
    // column (which the global threshold does not write) white. Local: its
    // boxes at the page edge reach the last row and column too.
    const std::u16string method = GetParam().method ? GetParam().method : u"";
    if (method == u"EDGEDETECT") return;
    for (int y = 0; y < 203; ++y)
        for (int x = 0; x < 301; ++x) {
            const bool written = method == u"LOCALTHRESH" || (x < 300 && y < 202);
            const bool black = written && TextPage(x, y) == 40;
            ASSERT_EQ(PixelAt(Handle(document), x, y), black ? 0u : 1u) << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Pages, WholePageTest,
                         ::testing::Values(DepthCase{"GreyGlobal", 8, nullptr}, DepthCase{"ColourGlobal", 24, nullptr},
                                           DepthCase{"GreyLocal", 8, u"LOCALTHRESH"},
                                           DepthCase{"ColourLocal", 24, u"LOCALTHRESH"},
                                           DepthCase{"GreyEdge", 8, u"EDGEDETECT"},
                                           DepthCase{"ColourEdge", 24, u"EDGEDETECT"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The edge road darkens only where the diagonal neighbours are darker than
// the direct ones (along the squares' edges), never the inside of a flat area.
TEST_F(DynamicThresholdingTest, EdgeFilterMarksEdgesAndLeavesFlatAreasWhite) {
    Set(u"EDGEDETECT", CComVariant(static_cast<SHORT>(1)));
    CComPtr<CZRDocument> document = Page(200, 160, 8, TextPage);
    ASSERT_EQ(Run(document), S_OK);
    int black = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) black += PixelAt(Handle(document), x, y) == 0;
    EXPECT_EQ(PixelAt(Handle(document), 3, 5), 1u);    // inside a square
    EXPECT_EQ(PixelAt(Handle(document), 12, 12), 1u);  // paper
    EXPECT_GT(black, 0);
    EXPECT_LT(black, 200 * 160 / 4);
}

TEST_F(DynamicThresholdingTest, LocalWinsOverEdgeDetect) {
    Set(u"LOCALTHRESH", CComVariant(static_cast<SHORT>(1)));
    CComPtr<CZRDocument> localOnly = Page(200, 160, 8, TextPage);
    ASSERT_EQ(Run(localOnly), S_OK);
    Set(u"EDGEDETECT", CComVariant(static_cast<SHORT>(1)));
    CComPtr<CZRDocument> both = Page(200, 160, 8, TextPage);
    ASSERT_EQ(Run(both), S_OK);
    EXPECT_EQ(Rows(both), Rows(localOnly));
}

TEST_F(DynamicThresholdingTest, ContrastShiftMovesTheThreshold) {
    // Paper 200 with a mid-grey band of 185: the threshold lies between them
    // (192, or 195 if the band is not sampled) and the band is black; 15
    // lower (CONTRASTSHIFT 85) it is white. The extremes clamp at 1 and 254.
    const auto band = [](int x, int y) { return y >= 40 && y < 50 && x < 100 ? 185 : 200; };
    CComPtr<CZRDocument> plain = Page(200, 120, 8, band);
    ASSERT_EQ(Run(plain), S_OK);
    EXPECT_EQ(PixelAt(Handle(plain), 50, 45), 0u);
    Set(u"CONTRASTSHIFT", CComVariant(LONG{85}));
    CComPtr<CZRDocument> shifted = Page(200, 120, 8, band);
    ASSERT_EQ(Run(shifted), S_OK);
    EXPECT_EQ(PixelAt(Handle(shifted), 50, 45), 1u);
    for (LONG extreme : {LONG{-2147483647 - 1}, LONG{2147483647}}) {
        Set(u"CONTRASTSHIFT", CComVariant(extreme));
        CComPtr<CZRDocument> page = Page(200, 120, 8, band);
        ASSERT_EQ(Run(page), S_OK) << extreme;
        EXPECT_EQ(PixelAt(Handle(page), 150, 10), extreme > 0 ? 0u : 1u) << extreme;
    }
}

class ZoneRunTest : public DynamicThresholdingTest, public ::testing::WithParamInterface<int> {};

TEST_P(ZoneRunTest, KeepsTheDepthChangesOnlyTheZoneAndRestoresTheImageType) {
    const int bits = GetParam();
    CComPtr<CZRDocument> document = Page(240, 180, bits, [](int x, int y) { return (x * 5 + y * 3) % 256; });
    document->Pages()[0]->Image()->SetImageType(7);
    const int before = ImageWrapper::create_handle_from_dib(Header(document));
    AddZone(30, 20, 150, 120);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(Header(document)->biBitCount, bits);
    EXPECT_EQ(ImageType(document), 7);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 240; ++x) {
            const unsigned v = PixelAt(Handle(document), x, y);
            const bool inside = x >= 30 && x < 179 && y >= 20 && y < 139;
            if (inside)
                ASSERT_TRUE(v == 0 || v == (bits == 8 ? 0xFFu : 0xFFFFFFu)) << x << "," << y;
            else
                ASSERT_EQ(v, PixelAt(before, x, y)) << x << "," << y;
        }
    ImageWrapper::delete_bitmap(before);
}

INSTANTIATE_TEST_SUITE_P(Depths, ZoneRunTest, ::testing::Values(8, 24));

TEST_F(DynamicThresholdingTest, ZoneOfFourZerosMeansTheWholePage) {
    AddZone(0, 0, 0, 0);
    CComPtr<CZRDocument> document = Page(120, 100, 8, TextPage);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(Header(document)->biBitCount, 1);
    EXPECT_EQ(ImageType(document), 2);
}

struct BadZone {
    const char* name;
    LONG left, top, width, height;
    HRESULT expected;
    const char* message;
};

class BadZoneTest : public DynamicThresholdingTest, public ::testing::WithParamInterface<BadZone> {};

TEST_P(BadZoneTest, FailsWithTheZoneMessageAndLeavesThePage) {
    const BadZone& c = GetParam();
    AddZone(c.left, c.top, c.width, c.height);
    CComPtr<CZRDocument> document = Page(200, 150, 8, TextPage);
    const int handle = Handle(document);
    const std::vector<BYTE> rows = Rows(document);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(Run(document, &result), c.expected);
    EXPECT_EQ(PeekErrorDescription(), c.message);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(Handle(document), handle);
    EXPECT_EQ(Rows(document), rows);
}

constexpr HRESULT kOutside = CZRException::FromMessageId(2163);
constexpr HRESULT kSmall = CZRException::FromMessageId(2164);
constexpr const char* kOutsideText = "The zone is outside the boundaries of the image.";
constexpr const char* kSmallText = "Zone too small.";

INSTANTIATE_TEST_SUITE_P(Zones, BadZoneTest,
                         ::testing::Values(BadZone{"PastTheRightEdge", 100, 10, 101, 100, kOutside, kOutsideText},
                                           BadZone{"PastTheBottom", 0, 80, 100, 71, kOutside, kOutsideText},
                                           BadZone{"NegativeLeft", -10, 10, 100, 100, kOutside, kOutsideText},
                                           BadZone{"NegativeWidth", 150, 10, -100, 100, kOutside, kOutsideText},
                                           BadZone{"HugeOffsets", 2147483000, 10, 2000, 100, kOutside, kOutsideText},
                                           BadZone{"SixtyWide", 10, 10, 60, 100, kSmall, kSmallText},
                                           BadZone{"SixtyHigh", 10, 10, 100, 60, kSmall, kSmallText}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DynamicThresholdingTest, SixtyByThousandPageIsTooSmall) {
    CComPtr<CZRDocument> document = Page(60, 1000, 8, TextPage);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(Run(document, &result), kSmall);
    EXPECT_EQ(PeekErrorDescription(), kSmallText);
    EXPECT_EQ(result, VARIANT_FALSE);
    EXPECT_EQ(Header(document)->biBitCount, 8);
}

TEST_F(DynamicThresholdingTest, OneBitPageIsUntouchedAndGetsAMessageOnlyInModeEight) {
    for (LONG mode : {LONG{0}, LONG{8}}) {
        process_->put_Mode(mode);
        CComPtr<CZRDocument> document = Page(100, 80, 1, [](int x, int) { return x % 3; });
        const int handle = Handle(document);
        const std::vector<BYTE> rows = Rows(document);
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(Run(document, &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        EXPECT_EQ(Handle(document), handle);
        EXPECT_EQ(Rows(document), rows);
        const std::vector<std::string> expected =
            mode == 8 ? std::vector<std::string>{"Black and white images are not valid for this process."}
                      : std::vector<std::string>{};
        EXPECT_EQ(StatusTexts(document), expected) << mode;
    }
}

// The library holds 1-, 8- and 24-bit bitmaps; other depths are made by
// relabelling an 8-bit header whose rows are long enough.
TEST_F(DynamicThresholdingTest, FourAndThirtyTwoBitPagesFailAsUnknownErrorAndStay) {
    for (WORD bits : {WORD{4}, WORD{32}}) {
        CComPtr<CZRDocument> document = Page(bits == 4 ? 256 : 64, 100, 8, TextPage);
        BITMAPINFOHEADER* dib = Header(document);
        dib->biBitCount = bits;
        if (bits == 32) dib->biWidth /= 4;
        const std::vector<BYTE> rows(dib::Bits(dib), dib::Bits(dib) + 256 * 100 / (bits == 4 ? 1 : 4));
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(Run(document, &result), kUnknown) << bits;
        EXPECT_EQ(PeekErrorDescription(), "Unknown error in CZRDynamicThresholding::Process.");
        EXPECT_EQ(result, VARIANT_FALSE);
        EXPECT_EQ(std::vector<BYTE>(dib::Bits(dib), dib::Bits(dib) + rows.size()), rows);
        dib->biBitCount = 8;
        if (bits == 32) dib->biWidth *= 4;
    }
}

TEST_F(DynamicThresholdingTest, PageWithoutImageFailsWithEPointer) {
    CComPtr<CZRDocument> document = Page(100, 80, 8, TextPage);
    document->Pages()[0]->SetImage(nullptr);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(Run(document, &result), E_POINTER);
}

}  // namespace
