// Line erasure and stroke reconstruction on drawn pages of known content:
// which pixels a rule leaves behind, which character pixels survive or come
// back, the background colour of grey and colour pages, the turned view, and
// pages at the limits (edges, tiny, all black).
#include "processes/lines/LineEraser.h"

#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "processes/lines/LRLineSig.h"
#include "tests/processes/lines/LinePages.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <cstring>
#include <memory>

namespace {

using lines_test::DrawRule;
using lines_test::DrawVerticalRule;
using lines_test::IsBlack;
using lines_test::Page;
using lines_test::SetBlack;
using lines_test::Snapshot;

struct Settings {
    int maxThickness = 5;
    int cleanup = 0;
    int reconstruction = 0;
    int maxGap = 0;
    int minLength = 0;
    bool vertical = false;
};

// Detection, erasure and reconnection as the process runs them.
void RemoveLines(BITMAPINFOHEADER* dib, const Settings& s) {
    PixelImage image(dib);
    std::unique_ptr<BoolImage> bools;
    if (image.bitCount() != 1) bools = std::make_unique<BoolImage>(&image);
    image.setRotatedView(s.vertical);
    if (bools) bools->setRotatedView(s.vertical);
    LineEraser eraser;
    eraser.setProperties(s.cleanup, s.maxThickness, s.reconstruction);
    eraser.setImages(&image, bools.get());
    LRLineSig sig;
    sig.reconstruction = s.reconstruction > 0;
    sig.mergeGap = s.maxGap;
    sig.minLengthH = s.minLength;
    sig.cleanRunLength = 5;
    sig.maxTransitions = 1;
    sig.maxPieceThickness = s.maxThickness;
    sig.scanFraction = 0.8;
    sig.margin = 5;
    sig.detect(&image, bools.get());
    eraser.setSignature(&sig);
    eraser.eraseLines();
    if (s.reconstruction > 0) eraser.reconnectStrokes();
}

void Fill(BITMAPINFOHEADER* dib, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) SetBlack(dib, x, y);
}

int BlackIn(BITMAPINFOHEADER* dib, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += IsBlack(dib, x, y);
    return n;
}

TEST(LineEraserTest, DefaultPropertiesEraseNothing) {
    Page page(800, 400);
    DrawRule(page.dib(), 50, 750, 200, 3);
    Fill(page.dib(), 300, 170, 303, 230);
    const auto before = Snapshot(page.handle());
    RemoveLines(page.dib(), Settings{0, 0, 0, 0, 0, false});
    EXPECT_EQ(Snapshot(page.handle()), before);
}

struct RuleCase {
    int thickness;
    double slope;
};

class RuleErasureTest : public ::testing::TestWithParam<RuleCase> {};

// Every pixel of a rule no thicker than "MAXTHICKNESS" goes, up to 2 degrees
// of slope.
TEST_P(RuleErasureTest, RulePixelsAllGo) {
    const RuleCase c = GetParam();
    Page page(1000, 400);
    DrawRule(page.dib(), 60, 940, 200, c.thickness, c.slope);
    RemoveLines(page.dib(), Settings{6, 0, 0, 0, 0, false});
    // On a slanted rule the band painted past the ends follows the traced
    // slope, which may sit a row off the drawn one by the far end: at most
    // one row of those columns stays.
    EXPECT_LE(BlackIn(page.dib(), 0, 0, 1000, 400), c.slope == 0.0 ? 0 : 5);
}

INSTANTIATE_TEST_SUITE_P(Rules, RuleErasureTest,
                         ::testing::Values(RuleCase{1, 0.0}, RuleCase{2, 0.0}, RuleCase{3, 0.0}, RuleCase{4, 0.0},
                                           RuleCase{6, 0.0}, RuleCase{3, 0.02}, RuleCase{3, -0.03},
                                           RuleCase{2, 0.035}));

// A 3-pixel rule under "MAXTHICKNESS" 5 is erased; the strokes crossing it
// keep their parts above and below the band, and with "RECONSTRUCTION" the
// band is filled in again where they crossed.
TEST(LineEraserTest, CrossedCharacterIsRebuilt) {
    for (const int reconstruction : {0, 10}) {
        Page page(800, 400);
        DrawRule(page.dib(), 50, 750, 200, 3);
        Fill(page.dib(), 300, 170, 303, 230);  // upright stroke
        for (int y = 170; y < 230; ++y)        // slanted stroke
            Fill(page.dib(), 500 + (y - 170) / 3, y, 503 + (y - 170) / 3, y + 1);
        RemoveLines(page.dib(), Settings{5, 0, reconstruction, 0, 0, false});
        SCOPED_TRACE(reconstruction);
        // The rule is gone away from the strokes.
        EXPECT_EQ(BlackIn(page.dib(), 50, 195, 290, 206), 0);
        EXPECT_EQ(BlackIn(page.dib(), 320, 195, 490, 206), 0);
        EXPECT_EQ(BlackIn(page.dib(), 530, 195, 750, 206), 0);
        // The strokes outside the band stay whole.
        EXPECT_EQ(BlackIn(page.dib(), 300, 170, 303, 199), 3 * 29);
        EXPECT_EQ(BlackIn(page.dib(), 300, 204, 303, 230), 3 * 26);
        const int inBand = BlackIn(page.dib(), 300, 200, 303, 203);
        const int slantedInBand = BlackIn(page.dib(), 505, 200, 516, 203);
        if (reconstruction == 0) {
            EXPECT_EQ(inBand, 0);
        } else {
            EXPECT_EQ(inBand, 9);
            EXPECT_GE(slantedInBand, 6);
        }
        // Nothing is painted beside the strokes.
        EXPECT_EQ(BlackIn(page.dib(), 290, 195, 299, 206), 0);
        EXPECT_EQ(BlackIn(page.dib(), 304, 195, 312, 206), 0);
    }
}

// "RECONSTRUCTION" 10 joins stroke ends at most 5 pixels apart sideways.
TEST(LineEraserTest, ReconstructionJoinsOnlyNearEnds) {
    for (const int offset : {0, 4, 5, 6, 9}) {
        Page page(800, 400);
        DrawRule(page.dib(), 50, 750, 200, 3);
        Fill(page.dib(), 300, 170, 303, 202);
        Fill(page.dib(), 300 + offset, 201, 303 + offset, 230);
        RemoveLines(page.dib(), Settings{5, 0, 10, 0, 0, false});
        SCOPED_TRACE(offset);
        const int bridged = BlackIn(page.dib(), 295, 200, 315, 203);
        if (offset <= 5) {
            EXPECT_GE(bridged, 9);
        } else {
            EXPECT_EQ(bridged, 0);
        }
    }
}

// Character strokes no rule touches are never erased, even with clean-up
// rows and reconstruction.
TEST(LineEraserTest, StrokesNoRuleTouchesSurvive) {
    const int handle = lines_test::TextPage(150, 0.0, 1, false);
    const int w = ImageWrapper::get_raw_dib(handle)->biWidth;
    const int h = ImageWrapper::get_raw_dib(handle)->biHeight;
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const auto text = Snapshot(handle);
    const int rules[] = {h / 5, h / 3, h / 2, 2 * h / 3};
    for (const int y : rules) DrawRule(dib, w / 10, w - w / 10, y, 3);
    RemoveLines(dib, Settings{5, 2, 20, 0, 100, false});
    // A text pixel more than the rule, its clean-up rows and a bridge's reach
    // away from every rule stays black.
    int lost = 0;
    int checked = 0;
    const auto* original = reinterpret_cast<const BITMAPINFOHEADER*>(text.data());
    const std::size_t stride = dib::Stride(w, 1);
    const std::uint8_t* bits = text.data() + sizeof(BITMAPINFOHEADER) + 8;
    ASSERT_EQ(original->biBitCount, 1);
    for (int y = 0; y < h; ++y) {
        bool nearRule = false;
        for (const int r : rules) nearRule |= y >= r - 12 && y < r + 15;
        if (nearRule) continue;
        const std::uint8_t* row = bits + stride * static_cast<std::size_t>(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            if (row[x / 8] & (0x80u >> (x % 8))) continue;
            ++checked;
            lost += !IsBlack(dib, x, y);
        }
    }
    EXPECT_GT(checked, 10000);
    EXPECT_EQ(lost, 0);
    ImageWrapper::delete_bitmap(handle);
}

TEST(LineEraserTest, VerticalOrientationErasesAVerticalRule) {
    Page page(400, 800);
    DrawVerticalRule(page.dib(), 60, 740, 200, 3);
    DrawRule(page.dib(), 20, 380, 400, 3);  // a horizontal rule stays
    Fill(page.dib(), 170, 300, 230, 303);   // a stroke crossing the vertical rule
    RemoveLines(page.dib(), Settings{5, 0, 10, 0, 0, true});
    EXPECT_EQ(BlackIn(page.dib(), 195, 60, 206, 290), 0);
    EXPECT_EQ(BlackIn(page.dib(), 195, 420, 206, 740), 0);
    EXPECT_EQ(BlackIn(page.dib(), 20, 400, 190, 403), 170 * 3);
    EXPECT_EQ(BlackIn(page.dib(), 170, 300, 199, 303), 29 * 3);
    EXPECT_EQ(BlackIn(page.dib(), 200, 300, 203, 303), 9);  // rebuilt
}

// Grey and colour pages: the rule takes the median colour of the background
// pixels on a nearby parallel row (rows 190 .. 199 hold three shades here,
// the rest of the page the middle one).
TEST(LineEraserTest, DeeperPagesTakeTheBackgroundColour) {
    for (const int bits : {8, 24}) {
        Page page(800, 400, bits);
        BITMAPINFOHEADER* dib = page.dib();
        for (int y = 0; y < 400; ++y) {
            std::uint8_t* row = lines_test::Row(dib, y);
            for (int x = 0; x < 800; ++x) {
                const int shade = y >= 190 && y < 200 ? (x % 3 == 0 ? -10 : x % 3 == 1 ? 0 : 10) : 0;
                if (bits == 8) {
                    row[x] = static_cast<std::uint8_t>(200 + shade);
                } else {
                    row[3 * x] = static_cast<std::uint8_t>(180 + shade);
                    row[3 * x + 1] = static_cast<std::uint8_t>(230 + shade);
                    row[3 * x + 2] = static_cast<std::uint8_t>(240 + shade);
                }
            }
        }
        // Dark ink, the other peak of the histogram.
        for (int y = 300; y < 380; ++y) {
            std::uint8_t* row = lines_test::Row(dib, y);
            for (int x = 100; x < 700; ++x) std::memset(row + x * (bits / 8), 30, static_cast<std::size_t>(bits / 8));
        }
        DrawRule(dib, 50, 750, 200, 3);
        RemoveLines(dib, Settings{5, 0, 0, 0, 0, false});
        SCOPED_TRACE(bits);
        for (int x = 50; x < 750; x += 7) {
            for (int y = 200; y < 203; ++y) {
                if (bits == 8) {
                    ASSERT_EQ(PixelAt(page.handle(), x, y), 200u) << x << "," << y;
                } else {
                    ASSERT_EQ(PixelAt(page.handle(), x, y), 180u | 230u << 8 | 240u << 16) << x << "," << y;
                }
            }
        }
        EXPECT_EQ(PixelAt(page.handle(), 400, 350), bits == 8 ? 30u : 0x1E1E1Eu);
    }
}

// A grey page with a crossing stroke: the bridge blends the stroke's colours.
TEST(LineEraserTest, GreyBridgeTakesTheStrokeColours) {
    Page page(800, 400, 8);
    BITMAPINFOHEADER* dib = page.dib();
    DrawRule(dib, 50, 750, 200, 3);
    for (int y = 170; y < 230; ++y)
        for (int x = 300; x < 304; ++x) lines_test::Row(dib, y)[x] = 40;
    RemoveLines(dib, Settings{5, 0, 10, 0, 0, false});
    for (int y = 200; y < 203; ++y)
        for (int x = 300; x < 304; ++x) EXPECT_EQ(PixelAt(page.handle(), x, y), 40u) << x << "," << y;
    EXPECT_EQ(PixelAt(page.handle(), 200, 201), 255u);
}

// Pages at the limits: rules along the edges and longer than the page, pages
// narrower than the probe window, all-black pages. Sound results, no stray
// reads or writes (checked under the address sanitizer).
TEST(LineEraserTest, PagesAtTheLimits) {
    {
        Page page(600, 300);
        DrawRule(page.dib(), -20, 620, 150, 3);  // longer than the page
        DrawRule(page.dib(), 0, 600, 0, 3);      // row 0
        DrawRule(page.dib(), 0, 600, 297, 3);    // last rows
        DrawVerticalRule(page.dib(), 0, 300, 0, 3);
        DrawVerticalRule(page.dib(), 0, 300, 597, 3);
        Fill(page.dib(), 300, 130, 303, 170);
        RemoveLines(page.dib(), Settings{5, 3, 200, 55, 0, false});
        // Detection keeps 16 columns from the edges and the ends are painted
        // 4 columns further: the first 12 columns of a rule stay.
        EXPECT_EQ(BlackIn(page.dib(), 12, 148, 290, 156), 0);
        EXPECT_EQ(BlackIn(page.dib(), 0, 150, 12, 153), 36);
        EXPECT_EQ(BlackIn(page.dib(), 300, 130, 303, 148), 18 * 3);
    }
    {
        Page page(600, 300);
        DrawVerticalRule(page.dib(), -20, 320, 300, 3);
        RemoveLines(page.dib(), Settings{5, 3, 200, 55, 0, true});
        EXPECT_EQ(BlackIn(page.dib(), 295, 12, 306, 288), 0);
    }
    for (const int bits : {1, 8, 24}) {
        // Narrower than the probe window: nothing found on 1-bit pages; the
        // 1-bit view of a deeper page may refuse it as too small.
        for (const auto& [w, h] : {std::pair{8, 8}, std::pair{8, 400}, std::pair{400, 8}, std::pair{30, 30}}) {
            Page page(w, h, bits);
            DrawRule(page.dib(), 0, w, h / 2, 2);
            for (const bool vertical : {false, true}) {
                try {
                    RemoveLines(page.dib(), Settings{5, 50, 200, 55, 0, vertical});
                } catch (const QNCException& e) {
                    EXPECT_NE(bits, 1);
                    EXPECT_EQ(e.MessageId(), 2165) << e.what();
                }
            }
        }
        Page black(300, 200, bits);
        lines_test::FillBlack(black.dib());
        EXPECT_NO_THROW(RemoveLines(black.dib(), Settings{50, 50, 200, 55, 0, false}));
        EXPECT_NO_THROW(RemoveLines(black.dib(), Settings{50, 50, 200, 55, 0, true}));
    }
}

TEST(LineEraserTest, ClampsItsPropertiesAndNeedsAnImage) {
    LineEraser eraser;
    eraser.setProperties(-4, 900, 1000);
    EXPECT_EQ(eraser.cleanup(), 0);
    EXPECT_EQ(eraser.maxThickness(), 50);
    EXPECT_EQ(eraser.reconstruction(), 200);
    try {
        eraser.eraseLines();
        FAIL() << "no exception";
    } catch (const QNCException& e) {
        EXPECT_EQ(e.MessageId(), 2160);
    }
    EXPECT_THROW(eraser.reconnectStrokes(), QNCException);
}

// Stroke ends: the run, its centre and the traced end; on the border the end
// is the run's centre itself.
TEST(LineEraserTest, StrokeEndsTraceAwayFromTheLine) {
    Page page(200, 100);
    for (int y = 40; y < 60; ++y)
        Fill(page.dib(), 50 + (60 - y) / 2, y, 53 + (60 - y) / 2, y + 1);  // leans right going up
    Fill(page.dib(), 0, 0, 5, 1);
    PixelImage image(page.dib());
    LineEraser eraser;
    eraser.setImages(&image, nullptr);
    const StrokeEnd up = eraser.makeStrokeEnd(50, 59, true);
    EXPECT_EQ(up.xs, 50);
    EXPECT_EQ(up.xe, 53);
    EXPECT_EQ(up.xc, 51);
    EXPECT_EQ(up.y, 59);
    EXPECT_GE(up.kind, 2);
    EXPECT_GT(up.ex, up.xc);
    EXPECT_LT(up.slope, 0.0);
    const StrokeEnd border = eraser.makeStrokeEnd(0, 0, true);
    EXPECT_EQ(border.ex, border.xc);
    EXPECT_EQ(border.ey, 0);
    EXPECT_EQ(border.kind, 0);
    EXPECT_EQ(border.slope, StrokeEnd::kUpright);
    int x = 199;
    int y = 50;
    eraser.traceStroke(x, y, 15, 4, true);  // at the right edge: no step
    EXPECT_EQ(x, 199);
    EXPECT_EQ(y, 50);
}

}  // namespace
