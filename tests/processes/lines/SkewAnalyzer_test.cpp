// The skew analyzer: rounding, the weighted line angle and its trimming,
// component labelling and the Hough vote on pages of known skew.
#include "processes/lines/SkewAnalyzer.h"
#include "framework/CZRException.h"
#include "image/PixelImage.h"
#include "tests/processes/lines/LinePages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using lines_test::BlankHandle;
using lines_test::DrawRule;
using lines_test::Page;
using lines_test::SetBlack;

struct RoundCase {
    double value;
    int rounded;
};

class RoundHalfAwayTest : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundHalfAwayTest, HalvesGoAwayFromZero) {
    EXPECT_EQ(SkewAnalyzer::roundHalfAway(GetParam().value), GetParam().rounded);
}

INSTANTIATE_TEST_SUITE_P(Values, RoundHalfAwayTest,
                         ::testing::Values(RoundCase{2.5, 3}, RoundCase{-2.5, -3}, RoundCase{2.4999, 2},
                                           RoundCase{-2.4999, -2}, RoundCase{0.5, 1}, RoundCase{-0.5, -1},
                                           RoundCase{0.0, 0}, RoundCase{9.5, 10}, RoundCase{-0.49, 0}));

// A segment as a test writes it: page coordinates and orientation.
struct Segment {
    int x1, y1, x2, y2;
    unsigned orientation;
};

struct LineSkewCase {
    const char* name;
    int pageWidth;
    std::vector<Segment> segments;
    int expected;
};

class LineSkewTest : public ::testing::TestWithParam<LineSkewCase> {};

TEST_P(LineSkewTest, WeightedAngleInWholeDegrees) {
    const LineSkewCase& c = GetParam();
    Page page(c.pageWidth, 100);
    PixelImage image(page.dib());
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    analyzer.attach(&image);
    auto sig = std::make_unique<LineSig>();
    for (const Segment& s : c.segments) {
        auto r = std::make_unique<LineRecord>();
        r->x1 = s.x1;
        r->y1 = s.y1;
        r->x2 = s.x2;
        r->y2 = s.y2;
        r->orientation = s.orientation;
        (s.orientation == 0 ? sig->horizontal() : sig->vertical()).push_back(std::move(r));
    }
    analyzer.setLineSig(std::move(sig));
    EXPECT_EQ(analyzer.lineSkew(), c.expected);
}

// atan(88 / 2000) = 2.52 degrees, atan(84 / 2000) = 2.40 degrees.
INSTANTIATE_TEST_SUITE_P(
    Segments, LineSkewTest,
    ::testing::Values(
        LineSkewCase{"RisingTwoAndAHalfRoundsToThree",
                     4000,
                     {{0, 188, 2000, 100, 0}, {0, 390, 2000, 302, 0}, {100, 590, 2100, 503, 0}},
                     3},
        LineSkewCase{"FallingTwoAndAHalfRoundsToMinusThree",
                     4000,
                     {{0, 100, 2000, 188, 0}, {0, 302, 2000, 390, 0}, {100, 503, 2100, 590, 0}},
                     -3},
        LineSkewCase{"TwoPointFourRoundsToTwo", 4000, {{0, 184, 2000, 100, 0}, {0, 384, 2000, 300, 0}}, 2},
        LineSkewCase{"ExactlyHorizontalMeasuresZero", 4000, {{0, 100, 2000, 100, 0}, {0, 300, 2000, 300, 0}}, 0},
        LineSkewCase{"TooLittleLineForThePageWidth", 20000, {{0, 188, 2000, 100, 0}, {0, 390, 2000, 302, 0}}, 0},
        LineSkewCase{"DisagreeingLinesMeasureZero", 4000, {{0, 275, 2000, 100, 0}, {0, 300, 2000, 440, 0}}, 0},
        // Leaning left as they go up: the same skew as lines rising to the right.
        LineSkewCase{"VerticalLeaningLeft", 1000, {{500, 2100, 412, 100, 1}, {800, 2100, 712, 100, 1}}, 3},
        LineSkewCase{"VerticalLeaningRight", 1000, {{412, 2100, 500, 100, 1}, {712, 2100, 800, 100, 1}}, -3},
        LineSkewCase{"NoSegments", 1000, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SkewAnalyzerTest, NoLineSignatureMeasuresZero) {
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    EXPECT_EQ(analyzer.lineSkew(), 0);
}

std::unique_ptr<LineRecord> Record(double length, double angle) {
    auto r = std::make_unique<LineRecord>();
    r->x2 = 100;
    r->length = length;
    r->angle = angle;
    return r;
}

TEST(SkewAnalyzerTest, LengthFilterDropsTheShortestQuarter) {
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    auto sig = std::make_unique<LineSig>();
    for (int i = 0; i < 120; ++i) sig->horizontal().push_back(Record(101 + i, 0.01));
    LineSig* raw = sig.get();
    analyzer.setLineSig(std::move(sig));
    analyzer.filterSegments();
    int deleted = 0;
    for (const auto& r : raw->horizontal()) {
        if (r->deleted()) {
            ++deleted;
            EXPECT_LT(r->length, 130);
        }
    }
    // q = sorted[floor(119 * 0.25)] = 130: lengths 101 .. 129 go.
    EXPECT_EQ(deleted, 29);
}

TEST(SkewAnalyzerTest, AngleFilterKeepsTheMiddleThreeQuarters) {
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    auto sig = std::make_unique<LineSig>();
    for (int i = 0; i < 60; ++i) sig->horizontal().push_back(Record(500, i * 0.001));
    // Vertical records contribute their angle brought into [0, pi] less pi/2.
    for (int i = 60; i < 120; ++i) sig->vertical().push_back(Record(500, -M_PI / 2 + i * 0.001));
    for (auto& r : sig->vertical()) r->orientation = 1;
    LineSig* raw = sig.get();
    analyzer.setLineSig(std::move(sig));
    analyzer.filterSegments();
    // lo = sorted[14] = 0.014, hi = sorted[104] = 0.104.
    int kept = 0;
    for (auto* list : {&raw->horizontal(), &raw->vertical()}) {
        for (const auto& r : *list) {
            if (r->deleted()) continue;
            ++kept;
            const double a = SkewAnalyzer::contributedAngle(*r);
            EXPECT_GE(a, 0.014 - 1e-12);
            EXPECT_LE(a, 0.104 + 1e-12);
        }
    }
    EXPECT_EQ(kept, 91);
}

TEST(SkewAnalyzerTest, FewerThanAHundredAreNotTrimmed) {
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    auto sig = std::make_unique<LineSig>();
    for (int i = 0; i < 99; ++i) sig->horizontal().push_back(Record(101 + i, i * 0.01));
    LineSig* raw = sig.get();
    analyzer.setLineSig(std::move(sig));
    analyzer.filterSegments();
    for (const auto& r : raw->horizontal()) EXPECT_FALSE(r->deleted());
}

TEST(SkewAnalyzerTest, LabelsComponentsReachedFromTheSeedGrid) {
    Page page(100, 60);
    BITMAPINFOHEADER* dib = page.dib();
    // An L-shaped blob over a seed (8, 8), a diagonal stroke (8-connected)
    // from (40, 20), and a 2 x 2 dot at (1, 1) that no seed touches.
    for (int x = 6; x < 20; ++x) SetBlack(dib, x, 8);
    for (int y = 8; y < 30; ++y) SetBlack(dib, 6, y);
    for (int i = 0; i < 10; ++i) SetBlack(dib, 40 + i, 20 + i);
    SetBlack(dib, 1, 1);
    SetBlack(dib, 2, 1);
    SetBlack(dib, 1, 2);
    SetBlack(dib, 2, 2);
    PixelImage image(dib);
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kAngle);
    analyzer.attach(&image);
    analyzer.labelComponents();
    ASSERT_EQ(analyzer.componentCount(), 2);
    ASSERT_EQ(analyzer.boxes().size(), 3u);
    const ComponentBox a = analyzer.boxes()[1];
    EXPECT_EQ(a.xmin, 6);
    EXPECT_EQ(a.xmax, 19);
    EXPECT_EQ(a.ymin, 8);
    EXPECT_EQ(a.ymax, 29);
    const ComponentBox b = analyzer.boxes()[2];
    EXPECT_EQ(b.xmin, 40);
    EXPECT_EQ(b.xmax, 49);
    EXPECT_EQ(b.ymin, 20);
    EXPECT_EQ(b.ymax, 29);
    EXPECT_EQ(analyzer.labelAt(6, 29), 1);
    EXPECT_EQ(analyzer.labelAt(49, 29), 2);
    EXPECT_EQ(analyzer.labelAt(1, 1), 0);
    EXPECT_EQ(analyzer.labelAt(7, 9), 0);
    EXPECT_EQ(image.cursor(), nullptr);
}

// Rows of 6 x 8 "characters" whose bottoms lie on baselines rising to the
// right by `degrees`.
void DrawCharacterRows(BITMAPINFOHEADER* dib, double degrees, int rows, int perRow) {
    const double slope = std::tan(degrees * M_PI / 180.0);
    for (int row = 0; row < rows; ++row) {
        const int baseline = 200 + row * 60;
        for (int i = 0; i < perRow; ++i) {
            const int x = 100 + i * 16;
            const int bottom = baseline - static_cast<int>(std::lround(x * slope));
            for (int dx = 0; dx < 6; ++dx)
                for (int dy = 0; dy < 8; ++dy) SetBlack(dib, x + dx, bottom - dy);
        }
    }
}

class HoughSkewTest : public ::testing::TestWithParam<int> {};

TEST_P(HoughSkewTest, MeasuresTheBaselineAngle) {
    Page page(1400, 1000);
    DrawCharacterRows(page.dib(), GetParam(), 10, 70);
    PixelImage image(page.dib());
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kAngle);
    analyzer.angleRange = 15;
    EXPECT_EQ(analyzer.measure(&image), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Degrees, HoughSkewTest, ::testing::Values(-7, -2, 0, 1, 3, 6));

TEST(SkewAnalyzerTest, HoughNeedsFiftyComponents) {
    Page page(1400, 1000);
    DrawCharacterRows(page.dib(), 3, 1, 48);
    PixelImage image(page.dib());
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kAngle);
    EXPECT_EQ(analyzer.measure(&image), 0);
}

TEST(SkewAnalyzerTest, HoughRefusesAnEmptyAngleRange) {
    Page page(1400, 1000);
    DrawCharacterRows(page.dib(), 3, 4, 40);
    PixelImage image(page.dib());
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kAngle);
    analyzer.angleRange = 0;
    try {
        analyzer.measure(&image);
        FAIL();
    } catch (const CZRException& e) {
        EXPECT_EQ(e.Error(), CZRException::FromMessageId(2174));
    }
}

TEST(SkewAnalyzerTest, NullImageFails) {
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    try {
        analyzer.measure(nullptr);
        FAIL();
    } catch (const CZRException& e) {
        EXPECT_EQ(e.Error(), CZRException::FromMessageId(2160));
    }
}

struct LinesCase {
    double degrees;
    int least, most;  // accepted measurements
};

class LinesMeasureTest : public ::testing::TestWithParam<LinesCase> {};

// Rules drawn rising to the right by a known angle: whole degrees. Traced
// edges move by whole rows, so a fraction near one half may round either way.
TEST_P(LinesMeasureTest, RulesGiveTheirAngle) {
    const double degrees = GetParam().degrees;
    Page page(1600, 1200);
    const double slope = -std::tan(degrees * M_PI / 180.0);
    for (int i = 0; i < 5; ++i) DrawRule(page.dib(), 200, 1400, 300 + i * 150, 3, slope);
    PixelImage image(page.dib());
    SkewAnalyzer analyzer(nullptr, SkewAnalyzer::kLines);
    const int measured = analyzer.measure(&image);
    EXPECT_GE(measured, GetParam().least);
    EXPECT_LE(measured, GetParam().most);
}

INSTANTIATE_TEST_SUITE_P(Degrees, LinesMeasureTest,
                         ::testing::Values(LinesCase{-6.0, -6, -6}, LinesCase{-3.2, -3, -3}, LinesCase{2.0, 2, 2},
                                           LinesCase{2.6, 2, 3}, LinesCase{4.0, 4, 4}, LinesCase{7.0, 7, 7},
                                           LinesCase{-9.0, -9, -9}));

}  // namespace
