// The colour smoothing process as a host drives it: properties, a mottled
// background made flat while text stays, the zone's role, palette pages,
// refusals and the progress it reports.
#include "processes/tone/CZRColorSmoothing.h"
#include "tests/processes/tone/TonePages.h"

namespace {

using namespace tone_test;

using ColorSmoothingTest = ToneFixture<CZRColorSmoothing>;

// 24-bit: a mottled cream background (red 230..239, green 220..229, blue
// 180..189) with black text squares; grey pages: setPixel's value in all three.
unsigned Mottle(int x, int y) { return static_cast<unsigned>((x * 7 + y * 13) % 10); }
bool Ink(int x, int y) { return x % 30 < 8 && y % 20 < 12 && x > 100; }

CComPtr<CZRDocument> ColourPage(int width, int height) {
    CComPtr<CZRDocument> document = MakeDocument(width, height, 24);
    PixelImage pixels(Header(document));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto m = static_cast<std::uint8_t>(Mottle(x, y));
            if (Ink(x, y))
                pixels.setPixel(x, y, 10, 10, 10);
            else
                pixels.setPixel(x, y, 230 + m, 220 + m, 180 + m);
        }
    return document;
}

TEST_F(ColorSmoothingTest, DeclaresFiveLongPropertiesAndTypeCode798) {
    const std::pair<const char16_t*, LONG> expected[] = {
        {u"LEFT", 0}, {u"TOP", 0}, {u"WIDTH", 167}, {u"HEIGHT", 167}, {u"TOLERANCE", 20}};
    for (auto [key, value] : expected) {
        const CComVariant v = Get(key);
        EXPECT_EQ(v.vt, VT_I4);
        EXPECT_EQ(v.lVal, value);
    }
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 798);
}

TEST_F(ColorSmoothingTest, WithoutZoneOrImageNothingChangesAndTheAnswerIsYes) {
    CComPtr<CZRDocument> document = ColourPage(200, 100);
    const std::vector<BYTE> rows = Rows(document);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(Rows(document), rows);
    document->Pages()[0]->SetImage(nullptr);
    result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
}

TEST_F(ColorSmoothingTest, MottledBackgroundBecomesItsAverageAndTextStays) {
    AddZone(0, 0, 80, 80);  // paper only
    CComPtr<CZRDocument> document = ColourPage(300, 120);
    ASSERT_EQ(Run(document), S_OK);
    // The sample's average: every fourth pixel of every fourth row of 0..80.
    unsigned sum = 0, count = 0;
    for (int y = 0; y <= 80; y += 4)
        for (int x = 0; x <= 80; x += 4) sum += Mottle(x, y), ++count;
    const unsigned m = sum / count;
    const unsigned average = (180 + m) | (220 + m) << 8 | (230 + m) << 16;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(PixelAt(Handle(document), x, y), Ink(x, y) ? 0x0A0A0Au : average) << x << "," << y;
}

TEST_F(ColorSmoothingTest, FullToleranceKeepsAChannelAFull255Away) {
    Set(u"TOLERANCE", CComVariant(LONG{100}));
    AddZone(0, 0, 20, 20);
    CComPtr<CZRDocument> document = MakeDocument(64, 40, 24);  // white: average white
    PixelImage pixels(Header(document));
    pixels.setPixel(40, 30, 0, 255, 255);  // red 255 away
    pixels.setPixel(41, 30, 1, 1, 1);      // 254 away in every channel
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(PixelAt(Handle(document), 40, 30), 0x00FFFFu);
    EXPECT_EQ(PixelAt(Handle(document), 41, 30), 0xFFFFFFu);
}

TEST_F(ColorSmoothingTest, ZoneReachingTheRightEdgeFails) {
    AddZone(100, 10, 100, 20);  // left + width = page width
    CComPtr<CZRDocument> document = ColourPage(200, 100);
    const std::vector<BYTE> rows = Rows(document);
    EXPECT_EQ(Run(document), CZRException::FromMessageId(2163));
    EXPECT_EQ(PeekErrorDescription(), "The zone is outside the boundaries of the image.");
    EXPECT_EQ(Rows(document), rows);
}

TEST_F(ColorSmoothingTest, OneBitPagesGive2157AndOtherDepthsFail) {
    AddZone(0, 0, 20, 20);
    CComPtr<CZRDocument> document = MakeDocument(64, 40, 1);
    EXPECT_EQ(Run(document), CZRException::FromMessageId(2157));
    EXPECT_EQ(PeekErrorDescription(), "Unsupported image color.");
    for (WORD bits : {WORD{4}, WORD{32}}) {
        CComPtr<CZRDocument> page = MakeDocument(256, 40, 8);
        BITMAPINFOHEADER* dib = Header(page);
        dib->biBitCount = bits;
        if (bits == 32) dib->biWidth /= 4;
        const std::vector<BYTE> rows(dib::Bits(dib), dib::Bits(dib) + 256 * 40);
        EXPECT_EQ(Run(page), E_FAIL) << bits;
        EXPECT_EQ(std::vector<BYTE>(dib::Bits(dib), dib::Bits(dib) + rows.size()), rows);
        dib->biBitCount = 8;
        if (bits == 32) dib->biWidth *= 4;
    }
}

TEST_F(ColorSmoothingTest, GreyPagesChangeTheirColourTableNotTheirPixels) {
    AddZone(0, 0, 10, 10);
    CComPtr<CZRDocument> document = Page(64, 32, 8, [](int x, int) { return x < 16 ? 120 : 4 * x; });
    const std::vector<BYTE> rows = Rows(document);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(Rows(document), rows);
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(Header(document)) + 40);
    for (int i = 0; i < 256; ++i) {
        const int expected = i >= 120 - 51 && i <= 120 + 51 ? 120 : i;
        ASSERT_EQ(table[i].rgbGreen, expected) << i;
    }
}

TEST_F(ColorSmoothingTest, ProgressSkipsSampleRowsOffTheTwentyRowGrid) {
    CComObject<RecordingSink>* object = nullptr;
    CComObject<RecordingSink>::CreateInstance(&object);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    AddZone(0, 2, 10, 20);  // sampled rows 2, 6, ..., 22: none a multiple of 20
    CComPtr<CZRDocument> document = ColourPage(16, 40);
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(sink->Percents(), (std::vector<LONG>{5, 5, 50, 50, 50, 75, 100, 100}));
    point->Unadvise(cookie);
}

}  // namespace
