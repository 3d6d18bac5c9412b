// The straighten process as a host drives it: identity and settings, the
// residual skew on pages of the classes where deskewing goes wrong (dark
// borders and shadows, low resolution, sparse pages, ruled tables, underlined
// text, halftone figures), pages that must be left exactly as they are, the
// depth and canvas of a turned page, the status message of every page, and
// bad input.
#include "processes/lines/CZRStraighten.h"
#include "tests/processes/lines/LinePages.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "framework/CZRLeafmendModule.h"
#include "host/CZRPage.h"
#include "host/CZRStatusMessage.h"
#include "processes/lines/SkewFinder.h"
#include "tools/skewset/PixHandle.h"
#include "tools/skewset/SkewSet.h"
#include "xml/CZRXMLMarkup.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using leafmend::skewset::PageClass;
using leafmend::skewset::PixToHandle;
using leafmend::skewset::RenderCase;
using leafmend::skewset::SkewCase;
using lines_test::BlankHandle;
using lines_test::Snapshot;

using Message = PostedMessage;

class StraightenTest : public ProcessFixture<CZRStraighten> {
protected:
    static CComPtr<CZRDocument> Document(int handle) {
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        document->AppendPage(handle);
        return document;
    }
    static int PageHandle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
    HRESULT Run(CZRDocument* document, VARIANT_BOOL* result = nullptr) {
        VARIANT_BOOL ignored = VARIANT_FALSE;
        return process_->Process(document->Pages()[0], result ? result : &ignored);
    }
    static std::vector<Message> Messages(CZRDocument* document) { return PostedMessages(document->Pages()[0]); }
    // Runs the case's page and answers the skew left on it: the content was
    // turned clockwise by c.skew and the page by the reported angle.
    double Residual(const SkewCase& c, std::string* note = nullptr) {
        Pix* pix = RenderCase(c);
        CComPtr<CZRDocument> document = Document(PixToHandle(pix));
        pixDestroy(&pix);
        EXPECT_EQ(Run(document), S_OK);
        const std::vector<Message> messages = Messages(document);
        EXPECT_EQ(messages.size(), 1u);
        if (messages.empty()) return 1e9;
        if (note) *note = messages[0].text;
        double applied = 0.0;
        if (messages[0].text.find("straightened") != std::string::npos)
            applied = std::strtod(messages[0].text.c_str() + 5, nullptr);
        return std::abs(c.skew + applied);
    }
};

SkewCase Case(PageClass pageClass, int dpi, int depth, double skew, int taggedDpi = 0, double points = 10) {
    SkewCase c;
    c.pageClass = pageClass;
    c.dpi = dpi;
    c.taggedDpi = taggedDpi ? taggedDpi : dpi;
    c.depth = depth;
    c.skew = skew;
    c.fontPoints = points;
    return c;
}

TEST_F(StraightenTest, DeclaresItsSettingsAsDoublesAndGeometryType) {
    const std::pair<const char16_t*, double> expected[] = {
        {u"PRECISION", 0.05}, {u"MAXANGLE", 15.0}, {u"MINCONFIDENCE", 10.0}};
    for (const auto& [key, value] : expected) {
        CComBSTR name(key);
        CComVariant stored;
        ASSERT_EQ(process_->get_Properties(name, &stored), S_OK);
        EXPECT_EQ(stored.vt, VT_R8);
        EXPECT_DOUBLE_EQ(stored.dblVal, value);
    }
    LONG type = 0;
    ASSERT_EQ(process_->get_ProcessType(&type), S_OK);
    EXPECT_EQ(type, 702);
    CComPtr<ZRZoneManager> zones;
    ASSERT_EQ(process_->GetZoneManager(&zones), S_OK);
    EXPECT_FALSE(zones);  // not zone-capable
}

TEST_F(StraightenTest, SavesItselfUnderItsProgId) {
    CComBSTR xml;
    ASSERT_EQ(process_->get_XML(&xml), S_OK);
    EXPECT_NE(xml.utf8().find("ProgID=\"ZRLeafmendClient91.Straighten.1\""), std::string::npos) << xml.utf8();
    EXPECT_NE(xml.utf8().find("PRECISION"), std::string::npos);
}

TEST_F(StraightenTest, LoadsWhatItSavedIntoANewObject) {
    Set(u"MAXANGLE", CComVariant(7.5));
    Set(u"PRECISION", CComVariant(0.02));
    CComBSTR xml;
    ASSERT_EQ(process_->get_XML(&xml), S_OK);
    CComPtr<IZRXMLMarkup> markup;
    ASSERT_EQ(CreateXMLMarkup(&markup), S_OK);
    ASSERT_EQ(markup->LoadXml(xml), S_OK);
    CComBSTR element(u"Process");
    VARIANT_BOOL found = VARIANT_FALSE;
    markup->FindElement(element, &found);
    ASSERT_EQ(found, VARIANT_TRUE);
    CComObject<CZRStraighten>* object = nullptr;
    ASSERT_EQ(CComObject<CZRStraighten>::CreateInstance(&object), S_OK);
    CComPtr<CComObject<CZRStraighten>> loaded(object);
    ASSERT_EQ(loaded->LoadProperties(markup), S_OK);
    for (const auto& [key, value] : {std::pair{u"MAXANGLE", 7.5}, std::pair{u"PRECISION", 0.02}}) {
        CComBSTR name(key);
        CComVariant stored;
        ASSERT_EQ(loaded->get_Properties(name, &stored), S_OK);
        EXPECT_EQ(stored.vt, VT_R8);
        EXPECT_DOUBLE_EQ(stored.dblVal, value);
    }
}

TEST_F(StraightenTest, RegistersItsProgIdWithTheModule) {
    ASSERT_EQ(CZRLeafmendModule::RegisterClasses(ClassCatalogue()), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"ZRLeafmendClient91.Straighten.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ZRStraighten);
    EXPECT_EQ(ProgIdOf(CZRStraighten::kDescriptor), "ZRLeafmendClient91.Straighten.1");
    EXPECT_EQ(CZRStraighten::kDescriptor.scriptId, 116);
    EXPECT_EQ(ClassCatalogue().back(), &CZRStraighten::kDescriptor);
}

// The failure classes: each page's residual skew after one run.
struct FailureClass {
    const char* name;
    SkewCase page;
};

class StraightenFailureClassTest : public StraightenTest, public ::testing::WithParamInterface<FailureClass> {};

TEST_P(StraightenFailureClassTest, LeavesAtMostATenthOfADegree) {
    std::string note;
    const double residual = Residual(GetParam().page, &note);
    EXPECT_LE(residual, 0.1) << GetParam().name << ": " << note;
}

INSTANTIATE_TEST_SUITE_P(Pages, StraightenFailureClassTest,
                         ::testing::Values(
                             // A colour photo of a book page on a dark table, shadowed, tagged 72 dpi.
                             FailureClass{"DarkBorderColourPhoto", Case(PageClass::Photo, 110, 32, 2.25, 72, 11)},
                             FailureClass{"DarkBorderGreyPhoto", Case(PageClass::Photo, 150, 8, -3.5, 72)},
                             FailureClass{"GutterShadow", Case(PageClass::Gutter, 150, 8, 1.4)},
                             FailureClass{"LowResolutionGrey", Case(PageClass::Text, 72, 8, 0.95, 72, 12)},
                             FailureClass{"LowResolutionBinary", Case(PageClass::Text, 72, 1, -2.5, 72, 12)},
                             FailureClass{"SparseTickets", Case(PageClass::Sparse, 150, 1, 1.97)},
                             FailureClass{"RuledTableNearlyStraight", Case(PageClass::Table, 150, 1, 0.05)},
                             FailureClass{"RuledTableSkewed", Case(PageClass::Table, 200, 8, -4.0)},
                             FailureClass{"UnderlinedText", Case(PageClass::Underlined, 150, 1, 2.2)},
                             FailureClass{"UnderlinedSmallSkew", Case(PageClass::Underlined, 150, 32, 0.66)},
                             FailureClass{"HalftoneFigure", Case(PageClass::Halftone, 150, 1, 8.0)},
                             FailureClass{"FullRange", Case(PageClass::TwoColumns, 100, 8, -15.0)}),
                         [](const ::testing::TestParamInfo<FailureClass>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StraightenTest, QuickSetIsStraightenedAndNothingGetsWorse) {
    for (const SkewCase& c : leafmend::skewset::QuickSet()) {
        std::string note;
        const double residual = Residual(c, &note);
        EXPECT_LE(residual, 0.1) << c.Name() << ": " << note;
        EXPECT_LE(residual, std::abs(c.skew) + 0.05) << c.Name() << ": " << note;
    }
}

// A straight page is left bit for bit as it came, in every depth.
TEST_F(StraightenTest, StraightPagesAreNotTouched) {
    for (const int depth : {1, 8, 32}) {
        Pix* pix = RenderCase(Case(PageClass::Table, 150, depth, 0.0));
        CComPtr<CZRDocument> document = Document(PixToHandle(pix));
        pixDestroy(&pix);
        const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
        VARIANT_BOOL result = VARIANT_FALSE;
        ASSERT_EQ(Run(document, &result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        EXPECT_EQ(Snapshot(PageHandle(document)), before) << depth;
        EXPECT_FALSE(document->Pages()[0]->Image()->Modified()) << depth;
        ASSERT_EQ(Messages(document).size(), 1u);
        EXPECT_NE(Messages(document)[0].text.find("left as is"), std::string::npos) << Messages(document)[0].text;
    }
}

TEST_F(StraightenTest, TurnedPagesKeepTheirDepthAndGrowTheirCanvas) {
    const std::pair<int, int> depths[] = {{1, 1}, {8, 8}, {32, 24}};
    for (const auto& [depth, bits] : depths) {
        Pix* pix = RenderCase(Case(PageClass::Text, 100, depth, 4.0));
        const int w = pixGetWidth(pix), h = pixGetHeight(pix);
        CComPtr<CZRDocument> document = Document(PixToHandle(pix));
        pixDestroy(&pix);
        const std::uint32_t paper = CZRStraighten::EdgeTone(ImageWrapper::get_raw_dib(PageHandle(document)));
        ASSERT_EQ(Run(document), S_OK);
        const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(PageHandle(document));
        EXPECT_EQ(dib->biBitCount, bits);
        EXPECT_GT(dib->biWidth, w);
        EXPECT_GT(dib->biHeight, h);
        EXPECT_EQ(dib->biXPelsPerMeter, 100);
        EXPECT_TRUE(document->Pages()[0]->Image()->Modified());
        // The corners the turn uncovered have the paper's tone (white, or the
        // colour page's tint).
        EXPECT_EQ(PixelAt(PageHandle(document), 0, 0), bits == 1 ? 1u : paper) << depth;
        if (bits == 8) {
            EXPECT_GE(paper, 250u);
        }
        if (bits == 24) {
            EXPECT_EQ(paper & 0xF0F0F0u, 0xF0F0F0u);
        }
    }
}

// Binary pages are moved pixel by pixel: no grey, and about as much ink.
TEST_F(StraightenTest, BinaryPagesStaySharp) {
    Pix* pix = RenderCase(Case(PageClass::Text, 150, 1, -3.0));
    l_int32 inkBefore = 0;
    pixCountPixels(pix, &inkBefore, nullptr);
    CComPtr<CZRDocument> document = Document(PixToHandle(pix));
    pixDestroy(&pix);
    ASSERT_EQ(Run(document), S_OK);
    const int handle = PageHandle(document);
    const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    ASSERT_EQ(dib->biBitCount, 1);
    long long ink = 0;
    for (int y = 0; y < dib->biHeight; ++y)
        for (int x = 0; x < dib->biWidth; ++x) ink += PixelAt(handle, x, y) == 0 ? 1 : 0;
    EXPECT_NEAR(static_cast<double>(ink), inkBefore, inkBefore * 0.02);
}

// A photographed page on a dark table grows with the table's tone.
TEST_F(StraightenTest, GrownCanvasTakesTheTonesOfTheEdge) {
    Pix* pix = RenderCase(Case(PageClass::Photo, 120, 8, 3.0, 72));
    CComPtr<CZRDocument> document = Document(PixToHandle(pix));
    pixDestroy(&pix);
    const std::uint32_t edge = CZRStraighten::EdgeTone(ImageWrapper::get_raw_dib(PageHandle(document)));
    EXPECT_LT(edge, 60u);
    ASSERT_EQ(Run(document), S_OK);
    ASSERT_NE(Messages(document)[0].text.find("straightened"), std::string::npos) << Messages(document)[0].text;
    EXPECT_EQ(PixelAt(PageHandle(document), 0, 0), edge);
}

TEST_F(StraightenTest, EdgeToneIsTheMedianOfTheOutermostPixels) {
    // 1-bit with a black frame two pixels deep: black.
    const int binary = BlankHandle(64, 48, 1);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(binary);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if (x < 2 || y < 2 || x >= 62 || y >= 46) lines_test::SetBlack(dib, x, y);
    EXPECT_EQ(CZRStraighten::EdgeTone(dib), 0u);
    ImageWrapper::delete_bitmap(binary);
    // Colour, blue-green-red bytes 10, 20, 30 along the edge, white inside.
    const int colour = BlankHandle(40, 30, 24);
    dib = ImageWrapper::get_raw_dib(colour);
    for (int y = 0; y < 30; ++y) {
        std::uint8_t* row = lines_test::Row(dib, y);
        for (int x = 0; x < 40; ++x)
            if (x < 2 || y < 2 || x >= 38 || y >= 28) row[3 * x] = 10, row[3 * x + 1] = 20, row[3 * x + 2] = 30;
    }
    EXPECT_EQ(CZRStraighten::EdgeTone(dib), 0x1E140Au);
    ImageWrapper::delete_bitmap(colour);
    // A blank grey page: white.
    const int grey = BlankHandle(16, 16, 8);
    EXPECT_EQ(CZRStraighten::EdgeTone(ImageWrapper::get_raw_dib(grey)), 255u);
    ImageWrapper::delete_bitmap(grey);
}

TEST_F(StraightenTest, EveryPageGetsOneMessageWithAngleAndConfidence) {
    Pix* pix = RenderCase(Case(PageClass::Text, 150, 8, -2.25));
    CComPtr<CZRDocument> document = Document(PixToHandle(pix));
    pixDestroy(&pix);
    CComBSTR name(u"tidy");
    ASSERT_EQ(process_->put_Name(name), S_OK);
    ASSERT_EQ(Run(document), S_OK);
    const std::vector<Message> messages = Messages(document);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, 2);
    EXPECT_EQ(messages[0].process, "tidy");
    // Rows descend to the right, so the page turns anticlockwise.
    EXPECT_EQ(messages[0].text.rfind("Skew 2.2", 0), 0u) << messages[0].text;
    EXPECT_NE(messages[0].text.find("\xC2\xB0 (confidence "), std::string::npos) << messages[0].text;
    EXPECT_NE(messages[0].text.find("): straightened."), std::string::npos) << messages[0].text;
}

TEST_F(StraightenTest, ReportsEachVerdictInItsWords) {
    SkewReading reading;
    EXPECT_EQ(CZRStraighten::Report(reading, false, 3.0, 0.1), u"No measurable skew.");
    reading.measurable = true;
    reading.angle = 2.2549;
    reading.confidence = 4.14;
    EXPECT_EQ(CZRStraighten::Report(reading, true, 3.0, 0.1), u"Skew 2.25\u00B0 (confidence 4.1): straightened.");
    reading.angle = 0.03;
    reading.confidence = 0.8;
    EXPECT_EQ(CZRStraighten::Report(reading, false, 3.0, 0.1),
              u"Skew 0.03\u00B0 (confidence 0.8): below confidence: left as is.");
    reading.angle = -0.004;
    reading.confidence = 9.0;
    EXPECT_EQ(CZRStraighten::Report(reading, false, 3.0, 0.1),
              u"Skew 0.00\u00B0 (confidence 9.0): within precision: left as is.");
}

TEST_F(StraightenTest, ConfidenceBelowTheMinimumLeavesTheSkew) {
    Set(u"MINCONFIDENCE", CComVariant(1e6));
    Pix* pix = RenderCase(Case(PageClass::Text, 100, 1, 3.0));
    CComPtr<CZRDocument> document = Document(PixToHandle(pix));
    pixDestroy(&pix);
    const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(Snapshot(PageHandle(document)), before);
    EXPECT_NE(Messages(document)[0].text.find("below confidence: left as is."), std::string::npos);
}

TEST_F(StraightenTest, AnglesBeyondMaxAngleAreNotMeasured) {
    Set(u"MAXANGLE", CComVariant(5.0));
    Pix* pix = RenderCase(Case(PageClass::Text, 100, 1, 9.0));
    CComPtr<CZRDocument> document = Document(PixToHandle(pix));
    pixDestroy(&pix);
    const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
    ASSERT_EQ(Run(document), S_OK);
    EXPECT_EQ(Snapshot(PageHandle(document)), before) << Messages(document)[0].text;
}

TEST_F(StraightenTest, RefusesSettingsOutsideTheirRange) {
    const std::pair<const char16_t*, double> bad[] = {
        {u"MAXANGLE", 0.0}, {u"MAXANGLE", 90.0}, {u"PRECISION", 0.0}, {u"PRECISION", 5.0}};
    for (const auto& [key, value] : bad) {
        Set(key, CComVariant(value));
        CComPtr<CZRDocument> document = MakeDocument(200, 200, 1);
        EXPECT_TRUE(FAILED(Run(document))) << BstrToUtf8(CComBSTR(key));
        Set(u"MAXANGLE", CComVariant(15.0));
        Set(u"PRECISION", CComVariant(0.05));
    }
}

// Bad input: no angle, the words for it, no change, no crash.
struct BadPage {
    const char* name;
    int (*make)();
};

int OneTextLine() {
    using namespace leafmend::synthpage;
    PageOptions options = PageOptions::A4(150);
    options.fillPage = false;
    options.paragraphs = {"A single line of words across the page, nothing more."};
    options.skewDegrees = 3.0;
    PixPtr pix(RenderPage(options));
    return PixToHandle(pix.get());
}

int AllBlack(int width, int height, int bits) {
    const int handle = BlankHandle(width, height, bits);
    lines_test::FillBlack(ImageWrapper::get_raw_dib(handle));
    return handle;
}

int Resolution(int handle, int dpi) {
    ImageWrapper::set_resolution(handle, dpi, dpi);
    return handle;
}

class StraightenBadPageTest : public StraightenTest, public ::testing::WithParamInterface<BadPage> {};

TEST_P(StraightenBadPageTest, HasNoMeasurableSkewAndIsLeftAlone) {
    CComPtr<CZRDocument> document = Document(GetParam().make());
    ASSERT_GE(PageHandle(document), 0);
    const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(Snapshot(PageHandle(document)), before);
    const std::vector<Message> messages = Messages(document);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "No measurable skew.");
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StraightenBadPageTest,
    ::testing::Values(BadPage{"BlankBinary", [] { return Resolution(BlankHandle(2480, 3508, 1), 300); }},
                      BadPage{"BlankGrey", [] { return Resolution(BlankHandle(1240, 1754, 8), 150); }},
                      BadPage{"BlankColour", [] { return BlankHandle(800, 600, 24); }},
                      BadPage{"AllBlackBinary", [] { return Resolution(AllBlack(1240, 1754, 1), 150); }},
                      BadPage{"AllBlackColour", [] { return AllBlack(600, 800, 24); }},
                      BadPage{"OneTextLine", OneTextLine},
                      BadPage{"SmallerThanTheReduction", [] { return Resolution(BlankHandle(8, 3, 1), 600); }},
                      BadPage{"TinyInk", [] { return Resolution(AllBlack(9, 7, 8), 600); }},
                      BadPage{"WideStrip", [] { return Resolution(AllBlack(65000, 40, 1), 300); }},
                      BadPage{"WideStripBlank", [] { return BlankHandle(65000, 64, 8); }}),
    [](const ::testing::TestParamInfo<BadPage>& info) { return std::string(info.param.name); });

}  // namespace
