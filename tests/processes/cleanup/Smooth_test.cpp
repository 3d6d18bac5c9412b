// The smooth process as a host drives it: its property table, each
// operation and the order of combined ones through Process, the refusal of
// grey pages, sizes outside the family, and progress.
#include "processes/cleanup/CZRSmooth.h"
#include "tests/processes/cleanup/PageChecks.h"
#include "tests/support/ProcessFixture.h"

#include "framework/CZRException.h"
#include "image/PixelImage.h"
#include "platform/com/ErrorInfo.h"
#include "processes/cleanup/MorphologyEngine.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace cleanup_test;

class SmoothProcessTest : public ProcessFixture<CZRSmooth> {
protected:
    void Sizes(SHORT dilation, SHORT erosion, SHORT smooth) {
        Set(u"DIALATION", CComVariant(static_cast<SHORT>(dilation)));
        Set(u"EROSION", CComVariant(static_cast<SHORT>(erosion)));
        Set(u"SMOOTH", CComVariant(static_cast<SHORT>(smooth)));
    }
    Grid RunOn(const Grid& grid, HRESULT expected = S_OK) {
        CComPtr<CZRDocument> document = DocumentOf(grid);
        EXPECT_EQ(Run(document->Pages()[0]), expected);
        return GridOf(document->Pages()[0]);
    }
};

TEST_F(SmoothProcessTest, DeclaresThreeShortPropertiesAtZeroWithTypeCode702) {
    for (const char16_t* key : {u"DIALATION", u"EROSION", u"SMOOTH"}) {
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

Grid Dot(int x, int y) {
    Grid g(40, 40);
    g.at(x, y) = 0;
    return g;
}

struct ShapeCase {
    const char* name;
    SHORT dilation, erosion, smooth;
    std::function<Grid()> input;
    std::function<Grid()> expected;
};

class SmoothShapeTest : public SmoothProcessTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(SmoothShapeTest, GivesTheExpectedShape) {
    const ShapeCase& c = GetParam();
    Sizes(c.dilation, c.erosion, c.smooth);
    EXPECT_EQ(RunOn(c.input()), c.expected());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SmoothShapeTest,
    ::testing::Values(ShapeCase{"AllZeroChangesNothing", 0, 0, 0, [] { return RandomGrid(40, 40, 0.4, 5); },
                                [] { return RandomGrid(40, 40, 0.4, 5); }},
                      ShapeCase{"ErosionOneRemovesAnIsolatedPixel", 0, 1, 0, [] { return Dot(20, 20); },
                                [] { return Grid(40, 40); }},
                      ShapeCase{"DilationOneGrowsRightAndUp", 1, 0, 0, [] { return Dot(20, 20); },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(20, 19, 2, 2, 0);
                                    return g;
                                }},
                      ShapeCase{"DilationTwoMakesAThreeByThreeSquare", 2, 0, 0, [] { return Dot(20, 20); },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(19, 19, 3, 3, 0);
                                    return g;
                                }},
                      ShapeCase{"OpeningTwoRemovesAPixelKeepsASquare", -2, 2, 0,
                                [] {
                                    Grid g = Dot(6, 30);
                                    g.fillRect(15, 10, 10, 10, 0);
                                    return g;
                                },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(15, 10, 10, 10, 0);
                                    return g;
                                }},
                      ShapeCase{"ClosingTwoFillsAOnePixelHole", 2, 2, 0,
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(10, 10, 20, 20, 0);
                                    g.at(18, 22) = 1;
                                    return g;
                                },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(10, 10, 20, 20, 0);
                                    return g;
                                }},
                      ShapeCase{"SmoothOneFillsANotchAndRemovesABump", 0, 0, 1,
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 20, 30, 6, 0);
                                    g.at(12, 20) = 1;
                                    g.at(25, 19) = 0;
                                    return g;
                                },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 20, 30, 6, 0);
                                    return g;
                                }},
                      ShapeCase{"SmoothThreeLeavesAGapInAThinLine", 0, 0, 3,
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 20, 30, 1, 0);
                                    g.at(18, 20) = g.at(19, 20) = 1;
                                    return g;
                                },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 20, 30, 1, 0);
                                    g.at(18, 20) = g.at(19, 20) = 1;
                                    return g;
                                }},
                      ShapeCase{"SmoothThreeFillsATwoPixelDent", 0, 0, 3,
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 15, 30, 8, 0);
                                    g.at(18, 15) = g.at(19, 15) = 1;
                                    return g;
                                },
                                [] {
                                    Grid g(40, 40);
                                    g.fillRect(5, 15, 30, 8, 0);
                                    return g;
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

// Unequal sizes run the two members in the order asked for; smoothing follows.
struct OrderCase {
    const char* name;
    SHORT dilation, erosion, smooth;
    std::function<void(MorphologyEngine&, BITMAPINFOHEADER*)> steps;
};

class SmoothOrderTest : public SmoothProcessTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SmoothOrderTest, RunsTheMembersInTheConfiguredOrder) {
    const OrderCase& c = GetParam();
    const Grid input = RandomGrid(90, 70, 0.15, 21, true);
    LibraryPage expected(input);
    MorphologyEngine engine;
    c.steps(engine, expected.dib());
    Sizes(c.dilation, c.erosion, c.smooth);
    EXPECT_EQ(RunOn(input), expected.read());
}

INSTANTIATE_TEST_SUITE_P(Orders, SmoothOrderTest,
                         ::testing::Values(OrderCase{"DilationThenErosion", 3, 2, 0,
                                                     [](MorphologyEngine& e, BITMAPINFOHEADER* d) {
                                                         e.dilate(d, 3);
                                                         e.erode(d, 2);
                                                     }},
                                           OrderCase{"ErosionThenDilation", -3, 2, 0,
                                                     [](MorphologyEngine& e, BITMAPINFOHEADER* d) {
                                                         e.erode(d, 2);
                                                         e.dilate(d, 3);
                                                     }},
                                           OrderCase{"OpeningThenSmoothing", -1, 1, 1,
                                                     [](MorphologyEngine& e, BITMAPINFOHEADER* d) {
                                                         e.open(d, 1);
                                                         e.smooth(d, 1);
                                                     }},
                                           OrderCase{"ErosionThenGapFilling", 0, 2, 4,
                                                     [](MorphologyEngine& e, BITMAPINFOHEADER* d) {
                                                         e.erode(d, 2);
                                                         e.smooth(d, 4);
                                                     }},
                                           OrderCase{"LargeDilationPaintsSmallBlocks", 9, 0, 0,
                                                     [](MorphologyEngine& e, BITMAPINFOHEADER* d) { e.dilate(d, 9); }}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    SHORT dilation, erosion, smooth;
};

class SmoothRefusedSizeTest : public SmoothProcessTest, public ::testing::WithParamInterface<RefusedCase> {};

// The sizes are checked before anything is drawn: a refused run leaves the page as it was.
TEST_P(SmoothRefusedSizeTest, FailsWithInvalidParameterAndLeavesThePage) {
    const RefusedCase& c = GetParam();
    Sizes(c.dilation, c.erosion, c.smooth);
    const Grid input = RandomGrid(50, 50, 0.2, 9, true);
    EXPECT_EQ(RunOn(input, CZRException::FromMessageId(2166)), input);
    EXPECT_EQ(PeekErrorDescription(), "Invalid parameter.");
}

INSTANTIATE_TEST_SUITE_P(Sizes, SmoothRefusedSizeTest,
                         ::testing::Values(RefusedCase{"ErosionSix", 0, 6, 0}, RefusedCase{"ClosingSeven", 7, 7, 0},
                                           RefusedCase{"DilationThenErosionSix", 2, 6, 0},
                                           RefusedCase{"DilationThenSmoothingSix", 2, 0, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SmoothProcessTest, GreyPagePosts2305AndChangesNothing) {
    Sizes(2, 0, 1);
    CComBSTR name(u"Strokes");
    process_->put_Name(name);
    CComPtr<CZRDocument> document = MakeDocument(40, 30, 8);
    CZRPage* page = document->Pages()[0];
    PixelImage(ImageWrapper::get_raw_dib(page->Image()->Handle())).setPixel(20, 15, 0);
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(Run(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    const auto messages = Messages(page);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].process, "Strokes");
    EXPECT_EQ(messages[0].type, 2);
    EXPECT_EQ(messages[0].text, "Image to smooth must be 1-bit (black and white).");
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 20, 15), 0u);
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 21, 15), 255u);
}

TEST_F(SmoothProcessTest, ReportsTwentyAfterReadingAndEndsAtHundred) {
    Sizes(2, 2, 0);
    CComPtr<CZRDocument> document = MakeDocument(60, 60, 1);
    const std::vector<LONG> percents = ProgressOf(process_.get(), document->Pages()[0]);
    ASSERT_GE(percents.size(), 2u);
    EXPECT_EQ(percents.front(), 20);
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(SmoothProcessTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 1);
    document->Pages()[0]->SetImage(nullptr);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(Run(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

}  // namespace
