// The deskew process as a host drives it: detection types, 1-bit and deeper
// pages, the working copy, progress, bad pages, and accuracy on synthetic
// pages of known skew.
#include "processes/lines/CZRDeskew.h"
#include "tests/processes/lines/LinePages.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "framework/CZRException.h"
#include "framework/ErrorReport.h"
#include "image/PixelImage.h"
#include "platform/registry/Registry.h"
#include "processes/lines/ProfileSkewAnalyzer.h"
#include "processes/lines/SkewAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A page too small for the pixel access: "Invalid image dimensions" (2165).
constexpr HRESULT kTooSmall = static_cast<HRESULT>(0x80040875u);

using lines_test::BlankHandle;
using lines_test::DrawRule;
using lines_test::DrawVerticalRule;
using lines_test::Snapshot;

class DeskewTest : public ProcessFixture<CZRDeskew> {
protected:
    void SetType(const char* type) {
        CComBSTR key(u"DetectionType");
        CComVariant value(type);
        ASSERT_EQ(process_->put_Properties(key, value), S_OK);
    }
    // A document whose one page holds `handle` (owned by the page).
    static CComPtr<CZRDocument> Document(int handle) {
        CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
        document->AppendPage(handle);
        return document;
    }
    HRESULT Run(CZRDocument* document, VARIANT_BOOL* result) { return process_->Process(document->Pages()[0], result); }
    static int PageHandle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }
};

// A page with rules rising to the right by `degrees` (page width x height).
int RuledPage(int width, int height, int bits, double degrees) {
    const int handle = BlankHandle(width, height, bits);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const double slope = -std::tan(degrees * M_PI / 180.0);
    for (int i = 0; i < 6; ++i) DrawRule(dib, width / 8, width - width / 8, height / 8 + i * height / 8, 3, slope);
    return handle;
}

TEST_F(DeskewTest, DeclaresDetectionTypeLinesAndGeometryType) {
    CComBSTR key(u"DetectionType");
    CComVariant value;
    ASSERT_EQ(process_->get_Properties(key, &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(value.bstrVal), u"Lines");
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
    CComPtr<ZRZoneManager> zones;
    process_->GetZoneManager(&zones);
    EXPECT_TRUE(zones != nullptr);
}

struct TypeCase {
    const char* type;
    VARIANT_BOOL result;
};

class DetectionTypeTest : public DeskewTest, public ::testing::WithParamInterface<TypeCase> {};

// Names compare case-sensitively; unknown names leave the page alone and
// answer VARIANT_FALSE.
TEST_P(DetectionTypeTest, KnownNamesProcessUnknownNamesRefuse) {
    SetType(GetParam().type);
    CComPtr<CZRDocument> document = Document(RuledPage(800, 600, 1, 3.0));
    const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
    VARIANT_BOOL result = 7;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, GetParam().result);
    if (GetParam().result == VARIANT_FALSE) {
        EXPECT_EQ(Snapshot(PageHandle(document)), before);
        EXPECT_FALSE(document->Pages()[0]->Image()->Modified());
    }
}

INSTANTIATE_TEST_SUITE_P(Names, DetectionTypeTest,
                         ::testing::Values(TypeCase{"Lines", VARIANT_TRUE}, TypeCase{"Text", VARIANT_TRUE},
                                           TypeCase{"Angle", VARIANT_TRUE}, TypeCase{"lines", VARIANT_FALSE},
                                           TypeCase{"TEXT", VARIANT_FALSE}, TypeCase{"", VARIANT_FALSE},
                                           TypeCase{"Hough", VARIANT_FALSE}));

TEST_F(DeskewTest, NullArgumentsFail) {
    VARIANT_BOOL result;
    EXPECT_EQ(process_->Process(nullptr, &result), E_INVALIDARG);
    CComPtr<CZRDocument> document = Document(BlankHandle(100, 100, 1));
    EXPECT_EQ(process_->Process(document->Pages()[0], nullptr), E_POINTER);
}

TEST_F(DeskewTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = Document(-1);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

// Pages measured and rotated: the rotation turns the rules level again, so
// measuring the result finds no skew; the canvas grows.
struct RotationCase {
    const char* type;
    int bits;
    double degrees;
};

class RotationTest : public DeskewTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(RotationTest, TurnsTheRulesLevel) {
    const RotationCase c = GetParam();
    SetType(c.type);
    CComPtr<CZRDocument> document = Document(RuledPage(1600, 1200, c.bits, c.degrees));
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(PageHandle(document), &header);
    EXPECT_EQ(header.biBitCount, c.bits);
    EXPECT_GT(header.biWidth, 1600);
    EXPECT_TRUE(document->Pages()[0]->Image()->Modified());

    // Measured again on the result: level.
    SetType("Lines");
    const std::vector<std::uint8_t> once = Snapshot(PageHandle(document));
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(Snapshot(PageHandle(document)), once);
}

INSTANTIATE_TEST_SUITE_P(Pages, RotationTest,
                         ::testing::Values(RotationCase{"Lines", 1, 4.0}, RotationCase{"Lines", 1, -3.0},
                                           RotationCase{"Lines", 24, 3.0}, RotationCase{"Lines", 8, -5.0},
                                           RotationCase{"Text", 1, 4.0}, RotationCase{"Text", 24, -3.0}));

// Every handle made between two probes must be gone again.
void ExpectNoHandleLeft(int before, int after) {
    for (int h = before + 1; h < after; ++h) EXPECT_EQ(ImageWrapper::get_raw_dib(h), nullptr) << "handle " << h;
}

class WorkingCopyTest : public DeskewTest, public ::testing::WithParamInterface<const char*> {};

// A 24-bit page is measured on a 1-bit copy that is deleted; the page's own
// colour bitmap is the one rotated.
TEST_P(WorkingCopyTest, ColourPageMeasuredOnADeletedOneBitCopy) {
    SetType(GetParam());
    const int page = lines_test::TextPage(100, 4.0, 24, true);
    CComPtr<CZRDocument> document = Document(page);
    const int before = BlankHandle(8, 8, 1);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    const int after = BlankHandle(8, 8, 1);
    EXPECT_GE(after - before, 2) << "a working copy was made";
    ExpectNoHandleLeft(before, after);
    EXPECT_EQ(PageHandle(document), page);
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(page, &header);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_GT(header.biWidth, 827);
    ImageWrapper::delete_bitmap(before);
    ImageWrapper::delete_bitmap(after);
}

INSTANTIATE_TEST_SUITE_P(Types, WorkingCopyTest, ::testing::Values("Lines", "Angle"));

TEST_F(DeskewTest, WorkingCopyIsDeletedWhenMeasuringFails) {
    // 7 columns: the 1-bit copy is made, then refused as too small.
    CComPtr<CZRDocument> document = Document(BlankHandle(7, 300, 24));
    const int before = BlankHandle(8, 8, 1);
    VARIANT_BOOL result;
    EXPECT_EQ(Run(document, &result), static_cast<HRESULT>(0x80040875u));  // "Invalid image dimensions"
    const int after = BlankHandle(8, 8, 1);
    ExpectNoHandleLeft(before, after);
    ImageWrapper::delete_bitmap(before);
    ImageWrapper::delete_bitmap(after);
}

struct UntouchedCase {
    const char* type;
    int bits;
};

class NoSkewTest : public DeskewTest, public ::testing::WithParamInterface<UntouchedCase> {};

// A text page with rules and no skew keeps every pixel.
TEST_P(NoSkewTest, PageStaysUntouched) {
    SetType(GetParam().type);
    CComPtr<CZRDocument> document = Document(lines_test::TextPage(100, 0.0, GetParam().bits, true));
    const std::vector<std::uint8_t> before = Snapshot(PageHandle(document));
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(Snapshot(PageHandle(document)), before);
}

INSTANTIATE_TEST_SUITE_P(Types, NoSkewTest,
                         ::testing::Values(UntouchedCase{"Lines", 1}, UntouchedCase{"Text", 1},
                                           UntouchedCase{"Angle", 1}, UntouchedCase{"Lines", 24},
                                           UntouchedCase{"Text", 24}, UntouchedCase{"Angle", 24}));

TEST_F(DeskewTest, ProgressRunsFromFiveToTheEnd) {
    CComObject<RecordingSink>* object = nullptr;
    ASSERT_EQ(CComObject<RecordingSink>::CreateInstance(&object), S_OK);
    CComPtr<RecordingSink> sink(object);
    CComPtr<IConnectionPoint> point;
    ASSERT_EQ(process_->FindConnectionPoint(IID_IZRProcessExEvents, &point), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IZRProcessExEvents*>(sink.get()), &cookie), S_OK);
    CComPtr<CZRDocument> document = Document(RuledPage(1600, 1200, 1, 3.0));
    VARIANT_BOOL result;
    ASSERT_EQ(Run(document, &result), S_OK);
    ASSERT_GE(sink->events.size(), 3u);
    EXPECT_EQ(sink->events.front().id, 301);
    EXPECT_EQ(sink->events.back().id, 302);
    const std::vector<LONG> percents = sink->Percents();
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.front(), 5);
    EXPECT_EQ(percents.back(), 100);
    for (LONG p : percents) {
        EXPECT_GE(p, 0);
        EXPECT_LE(p, 100);
    }
    point->Unadvise(cookie);
}

// Bad pages: the documented error, or the page as it was; never a crash or a
// read outside the bitmap (the sanitizer build runs these too).
enum class Fill { White, Black, Rules };

struct BadPageCase {
    const char* name;
    int width, height, bits;
    Fill fill;
    HRESULT expected;  // S_OK: processed, page untouched
    // A measured skew on a page this wide cannot be turned: the canvas would
    // pass 65535 pixels, and the library refuses (2160).
    bool rotationMayFail = false;
};

class BadPageTest : public DeskewTest, public ::testing::WithParamInterface<std::tuple<BadPageCase, const char*>> {};

TEST_P(BadPageTest, DocumentedErrorOrUntouchedPage) {
    const auto& [c, type] = GetParam();
    SetType(type);
    const int handle = BlankHandle(c.width, c.height, c.bits);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    if (c.fill == Fill::Black) lines_test::FillBlack(dib);
    if (c.fill == Fill::Rules) {
        for (int y = 2; y < c.height; y += 9) DrawRule(dib, 0, c.width, y, 3, 0.01);
        for (int x = 3; x < c.width; x += 700) DrawVerticalRule(dib, 0, c.height, x, 3, 0.01);
    }
    CComPtr<CZRDocument> document = Document(handle);
    const std::vector<std::uint8_t> before = Snapshot(handle);
    VARIANT_BOOL result = VARIANT_FALSE;
    const HRESULT hr = Run(document, &result);
    if (c.rotationMayFail && hr == CZRException::FromMessageId(2160)) {
        EXPECT_EQ(Snapshot(PageHandle(document)), before);
        return;
    }
    EXPECT_EQ(hr, c.expected) << std::hex << hr;
    // Failures and unskewed pages leave every byte as it was.
    if (hr != S_OK || c.fill != Fill::Rules) {
        EXPECT_EQ(Snapshot(PageHandle(document)), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, BadPageTest,
    ::testing::Combine(::testing::Values(BadPageCase{"SevenColumns", 7, 300, 1, Fill::Black, kTooSmall},
                                         BadPageCase{"SevenColumnsColour", 7, 300, 24, Fill::Black, kTooSmall},
                                         BadPageCase{"EightColumns", 8, 300, 1, Fill::Black, S_OK},
                                         BadPageCase{"ThreeRows", 900, 3, 1, Fill::Black, S_OK},
                                         BadPageCase{"OneRowColour", 900, 1, 24, Fill::Black, S_OK},
                                         BadPageCase{"Blank", 1200, 1600, 1, Fill::White, S_OK},
                                         BadPageCase{"BlankGrey", 1200, 1600, 8, Fill::White, S_OK},
                                         BadPageCase{"AllBlack", 1200, 1600, 1, Fill::Black, S_OK},
                                         BadPageCase{"AllBlackColour", 1200, 1600, 24, Fill::Black, S_OK},
                                         BadPageCase{"VeryWide", 65535, 40, 1, Fill::Rules, S_OK, true},
                                         BadPageCase{"VeryWideBlack", 65535, 24, 1, Fill::Black, S_OK}),
                       ::testing::Values("Lines", "Text", "Angle")),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param); });

// A 4-bit page reaches the library as a looked-up 8- or 24-bit bitmap and is
// measured like any other.
TEST_F(DeskewTest, FourBitPageIsMeasuredAfterImport) {
    const int width = 800;
    const int height = 600;
    const std::size_t stride = dib::Stride(width, 4);
    std::vector<std::uint8_t> packed(sizeof(BITMAPINFOHEADER) + 16 * 4 + stride * height, 0xFF);
    BITMAPINFOHEADER fields{};
    fields.biSize = 40;
    fields.biWidth = width;
    fields.biHeight = height;
    fields.biPlanes = 1;
    fields.biBitCount = 4;
    std::memcpy(packed.data(), &fields, sizeof(fields));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(packed.data());
    auto* palette = reinterpret_cast<RGBQUAD*>(packed.data() + 40);
    for (int i = 0; i < 16; ++i)
        palette[i] = {static_cast<BYTE>(i * 17), static_cast<BYTE>(i * 17), static_cast<BYTE>(i * 17), 0};
    // Index 0 (black) rules rising to the right by 3 degrees.
    std::uint8_t* bits = packed.data() + 40 + 64;
    for (int i = 0; i < 5; ++i) {
        for (int x = 100; x < 700; ++x) {
            const int top = 100 + i * 100 - static_cast<int>(std::lround((x - 100) * std::tan(3 * M_PI / 180)));
            for (int t = 0; t < 3; ++t) {
                std::uint8_t& byte = bits[stride * static_cast<std::size_t>(height - 1 - (top + t)) + x / 2];
                byte &= static_cast<std::uint8_t>(x % 2 ? 0xF0 : 0x0F);
            }
        }
    }
    const int handle = ImageWrapper::create_handle_from_dib(header);
    ASSERT_GE(handle, 0);
    CComPtr<CZRDocument> document = Document(handle);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(document, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    BITMAPINFOHEADER after{};
    ImageWrapper::bitmap_info(PageHandle(document), &after);
    EXPECT_GT(after.biWidth, width);
}

TEST_F(DeskewTest, UnknownHandleIsAnInvalidImage) {
    CComPtr<CZRDocument> document = Document(BlankHandle(100, 100, 1));
    ImageWrapper::delete_bitmap(PageHandle(document));
    VARIANT_BOOL result;
    EXPECT_EQ(Run(document, &result), CZRException::FromMessageId(2178));
}

// Accuracy on 300-dpi A4 pages rendered from text rotated by known angles.
// The measurement sees the page before any rotation, so it is read straight
// from the analyzers; the process adds only the rotation.
struct Accuracy {
    double applied;
    double text;
    int lines;
    int angle;
};

Accuracy MeasurePage(int dpi, double applied) {
    Accuracy a{applied, 0, 0, 0};
    const int textPage = lines_test::TextPage(dpi, applied);
    const int ruledPage = lines_test::TextPage(dpi, applied, 1, true);
    {
        PixelImage text(ImageWrapper::get_raw_dib(textPage));
        ProfileSkewAnalyzer profile(nullptr);
        a.text = profile.profileSkew(text);
        SkewAnalyzer hough(nullptr, SkewAnalyzer::kAngle);
        hough.angleRange = 15;
        a.angle = hough.measure(&text);
        PixelImage ruled(ImageWrapper::get_raw_dib(ruledPage));
        SkewAnalyzer lines(nullptr, SkewAnalyzer::kLines);
        a.lines = lines.measure(&ruled);
    }
    ImageWrapper::delete_bitmap(textPage);
    ImageWrapper::delete_bitmap(ruledPage);
    return a;
}

class AccuracyTest : public ::testing::TestWithParam<double> {};

// Skew clockwise by d measures -d: "Text" to its half-degree step on clean
// text, "Lines" within a degree on ruled pages.
TEST_P(AccuracyTest, TextToItsStepLinesWithinADegree) {
    const Accuracy a = MeasurePage(300, GetParam());
    EXPECT_FLOAT_EQ(a.text, static_cast<float>(-GetParam()));
    EXPECT_LE(std::abs(a.lines + GetParam()), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Skews, AccuracyTest, ::testing::Values(-9.5, -5.5, -2.0, -0.5, 1.5, 4.0, 8.5));

// The full table at 300 dpi: run once with --gtest_also_run_disabled_tests.
TEST(AccuracyTable, DISABLED_PrintsEveryHalfDegree) {
    int textHits = 0;
    int linesHits = 0;
    int angleHits = 0;
    int rows = 0;
    std::printf("| applied | Text | Lines | Angle |\n|---:|---:|---:|---:|\n");
    for (int i = -19; i <= 19; ++i) {
        const double applied = i * 0.5;
        const Accuracy a = MeasurePage(300, applied);
        std::printf("| %+.1f | %+.1f | %+d | %+d |\n", applied, a.text, a.lines, a.angle);
        ++rows;
        textHits += a.text == static_cast<float>(-applied);
        linesHits += std::abs(a.lines + applied) <= 1.0;
        angleHits += std::abs(a.angle + applied) <= 1.0;
    }
    std::printf("Text exact %d/%d, Lines within 1 deg %d/%d, Angle within 1 deg %d/%d\n", textHits, rows, linesHits,
                rows, angleHits, rows);
}

}  // namespace
