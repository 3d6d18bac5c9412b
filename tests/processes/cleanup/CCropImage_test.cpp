// The crop holder on library bitmaps: fixed margins and their limits, border
// detection on white and black borders (its scan rule, the safety margin and
// the sensitivity), border whitening, and pages too small or too plain.
#include "processes/cleanup/CCropImage.h"
#include "tests/processes/cleanup/BitGrid.h"

#include "framework/QNCException.h"
#include "image/PixelImage.h"

#include <gtest/gtest.h>

namespace {

using cleanup_test::Grid;
using cleanup_test::LibraryPage;

struct CropRun {
    int top = 0, bottom = 0, left = 0, right = 0;
    int cropBlack = 0, cropWhite = 0, invertBlack = 0;
    int sensitivity = 5;
};

// Runs the holder on the page's handle; the page keeps its bitmap.
int RunCrop(const LibraryPage& page, const CropRun& settings, CCropImage* out = nullptr) {
    CCropImage crop(nullptr, nullptr);
    const bool detect = (settings.cropWhite || settings.cropBlack) && settings.invertBlack != 1;
    crop.attach(page.handle(), detect);
    crop.setMargins(settings.top, settings.bottom, settings.left, settings.right);
    crop.setModes(settings.cropBlack, settings.cropWhite, settings.invertBlack);
    crop.setSensitivity(settings.sensitivity);
    int result = 0;
    try {
        result = crop.run();
    } catch (...) {
        crop.detach();
        throw;
    }
    if (out) out->setMargins(crop.top(), crop.bottom(), crop.left(), crop.right());
    crop.detach();
    return result;
}

struct MarginCase {
    const char* name;
    int width, height;
    CropRun settings;
    int expectedWidth, expectedHeight;
    int firstKeptColumn, firstKeptRow;
};

class CropMarginTest : public ::testing::TestWithParam<MarginCase> {};

// A black pixel tells which original pixel lands at (0, 0).
TEST_P(CropMarginTest, CutsTheGivenMarginsWithinTheLimits) {
    const MarginCase& c = GetParam();
    Grid grid(c.width, c.height);
    grid.at(c.firstKeptColumn, c.firstKeptRow) = 0;
    LibraryPage page(grid);
    EXPECT_EQ(RunCrop(page, c.settings), CCropImage::kDone);
    EXPECT_EQ(page.width(), c.expectedWidth);
    EXPECT_EQ(page.height(), c.expectedHeight);
    EXPECT_EQ(page.read().at(0, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Margins, CropMarginTest,
    ::testing::Values(MarginCase{"NothingSet", 120, 90, {}, 120, 90, 0, 0},
                      MarginCase{"LeftTen", 120, 90, {.left = 10}, 110, 90, 10, 0},
                      MarginCase{"AllFour", 200, 150, {.top = 3, .bottom = 4, .left = 5, .right = 6}, 189, 143, 5, 3},
                      MarginCase{"LeftAndRight600On1000", 1000, 120, {.left = 600, .right = 600}, 100, 120, 450, 0},
                      MarginCase{"TopAndBottomLeaveUnder50", 150, 300, {.top = 130, .bottom = 125}, 150, 100, 0, 100},
                      MarginCase{"NarrowPageCutsNothingAcross", 80, 150, {.left = 30, .right = 30}, 80, 150, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CropTest, SafetyMarginFollowsTheResolutionField) {
    EXPECT_EQ(CCropImage::SafetyMargin(300), 1);
    EXPECT_EQ(CCropImage::SafetyMargin(0), 0);
    EXPECT_EQ(CCropImage::SafetyMargin(-300), 0);
    EXPECT_EQ(CCropImage::SafetyMargin(11811), 3);
    EXPECT_EQ(CCropImage::SafetyMargin(3937), 1);
    EXPECT_EQ(CCropImage::SafetyMargin(3938), 2);
}

// Rows 0-39 white, every later row black: the top scan stops at row 45
// (s + 1 = 6 consecutive rows with runs longer than 5), 45 - 5 - 1 = 39 rows go.
TEST(CropTest, TopScanOfAWhiteBorderCutsThirtyNineRows) {
    Grid grid(300, 200);
    grid.fillRect(0, 40, 300, 160, 0);
    LibraryPage page(grid);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    CCropImage margins(nullptr, nullptr);
    EXPECT_EQ(RunCrop(page, {.cropWhite = 1, .sensitivity = 5}, &margins), CCropImage::kDone);
    EXPECT_EQ(margins.top(), 39);
    EXPECT_EQ(margins.bottom(), 0);
    EXPECT_EQ(margins.left(), 0);
    EXPECT_EQ(margins.right(), 0);
    EXPECT_EQ(page.height(), 161);
    EXPECT_EQ(page.width(), 300);
    const Grid out = page.read();
    EXPECT_EQ(out.at(10, 0), 1);
    EXPECT_EQ(out.at(10, 1), 0);
}

// The run rule skips the pixel after every non-content pixel: alternate
// black and white columns never form a run, however long the row.
TEST(CropTest, AlternatingPixelsNeverCountAsContent) {
    Grid grid(200, 160);
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; x += 2) grid.at(x, y) = 0;
    grid.fillRect(0, 60, 200, 100, 0);
    LibraryPage page(grid);
    CCropImage margins(nullptr, nullptr);
    RunCrop(page, {.cropWhite = 1, .sensitivity = 5}, &margins);
    EXPECT_EQ(margins.top(), 60);  // resolution 0: no safety margin
}

TEST(CropTest, BlankPageIsCutToItsCentralHundredByHundred) {
    Grid grid(400, 300);
    grid.at(150, 100) = 0;  // lands at (0, 0)
    LibraryPage page(grid);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    EXPECT_EQ(RunCrop(page, {.cropWhite = 1, .sensitivity = 5}), CCropImage::kDone);
    EXPECT_EQ(page.width(), 100);
    EXPECT_EQ(page.height(), 100);
    EXPECT_EQ(page.read().at(0, 0), 0);
}

// A 1-bit scan with an uneven black frame (20 to 31 pixels) and text blocks:
// the frame goes (cut as far as found, the rest whitened from the row ends)
// but for specks of its ragged inner edge; every text pixel stays in place.
TEST(CropTest, CropBlackRemovesAnUnevenFrameAndKeepsTheText) {
    const int w = 600, h = 800;
    Grid grid(w, h, 0);
    Grid text(w, h);
    for (int y = 0; y < h; ++y) {
        const int l = 20 + (y * 7) % 13, r = 20 + (y * 5) % 11;
        for (int x = l; x < w - r; ++x) grid.at(x, y) = 1;
    }
    for (int x = 0; x < w; ++x) {
        const int t = 20 + (x * 3) % 12, b = 22 + (x * 11) % 9;
        for (int y = 0; y < t; ++y) grid.at(x, y) = 0;
        for (int y = h - b; y < h; ++y) grid.at(x, y) = 0;
    }
    const long long frame = grid.blackCount();
    for (int block = 0; block < 6; ++block) text.fillRect(80 + block * 70, 100 + block * 100, 40, 12, 0);
    for (std::size_t i = 0; i < grid.pixels.size(); ++i)
        if (!text.pixels[i]) grid.pixels[i] = 0;
    LibraryPage page(grid);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    CCropImage margins(nullptr, nullptr);
    EXPECT_EQ(RunCrop(page, {.cropBlack = 1, .sensitivity = 2}, &margins), CCropImage::kDone);
    const Grid out = page.read();
    EXPECT_EQ(out.width, w - margins.left() - margins.right());
    EXPECT_EQ(out.height, h - margins.top() - margins.bottom());
    EXPECT_GE(margins.left(), 19);
    EXPECT_GE(margins.top(), 19);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!text.at(x, y)) {
                ASSERT_EQ(out.at(x - margins.left(), y - margins.top()), 0) << x << "," << y;
            }
    EXPECT_LT(out.blackCount() - text.blackCount(), frame / 50);
}

TEST(CropTest, CropBlackOnAGreyPageCutsTheBorderWithoutWhitening) {
    const int w = 300, h = 240;
    LibraryPage page(w, h, 8);
    PixelImage pixels(page.dib());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool border = x < 25 || y < 30 || x >= w - 20 || y >= h - 15;
            pixels.setPixel(x, y, border ? 20 : 230);
        }
    CCropImage margins(nullptr, nullptr);
    EXPECT_EQ(RunCrop(page, {.cropBlack = 1, .sensitivity = 3}, &margins), CCropImage::kDone);
    EXPECT_EQ(margins.top(), 30);
    EXPECT_EQ(margins.left(), 25);
    EXPECT_EQ(margins.right(), 20);
    EXPECT_EQ(margins.bottom(), 15);
    EXPECT_EQ(page.width(), w - 45);
    EXPECT_EQ(page.height(), h - 45);
}

TEST(CropTest, InvertBlackWhitensRowEndsAcrossGapsUpToTheSensitivity) {
    // Left end: 5 black, 2 white, 3 black, 3 white, 2 black. Right end: 1 black.
    Grid grid(40, 3);
    const int black[] = {0, 1, 2, 3, 4, 7, 8, 9, 13, 14, 39};
    for (int x : black) grid.at(x, 1) = 0;
    grid.fillRect(0, 2, 40, 1, 0);  // a row of black only
    LibraryPage page(grid);
    EXPECT_EQ(RunCrop(page, {.invertBlack = 1, .sensitivity = 2}), CCropImage::kDone);
    Grid expected(40, 3);
    expected.at(13, 1) = expected.at(14, 1) = 0;  // behind a gap of 3
    EXPECT_EQ(page.read(), expected);
}

TEST(CropTest, InvertBlackOnAGreyPageAnswersFourAndChangesNothing) {
    LibraryPage page(64, 64, 8);
    PixelImage(page.dib()).setPixel(0, 10, 0);
    EXPECT_EQ(RunCrop(page, {.cropBlack = 1, .invertBlack = 1}), CCropImage::kNotBlackAndWhite);
    std::uint8_t r = 1, g = 1, b = 1;
    PixelImage(page.dib()).getPixel(0, 10, r, g, b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(page.width(), 64);
}

TEST(CropTest, NoImageAnswersTwo) {
    CCropImage crop(nullptr, nullptr);
    crop.setModes(1, 0, 0);
    EXPECT_EQ(crop.run(), CCropImage::kNoImage);
}

// An all-black page has no content: every scan runs to the middle, the page
// is cut to its central 100 x 100 and the whitening clears what is left.
TEST(CropTest, AllBlackPageBecomesAWhiteHundredByHundred) {
    LibraryPage page(Grid(300, 260, 0));
    EXPECT_EQ(RunCrop(page, {.cropBlack = 1, .sensitivity = 5}), CCropImage::kDone);
    EXPECT_EQ(page.read(), Grid(100, 100));
}

TEST(CropTest, PagesTooSmallForDetectionAreRefusedUnchanged) {
    LibraryPage narrow(Grid(5, 40, 0));
    EXPECT_THROW(RunCrop(narrow, {.cropWhite = 1}), QNCException);
    EXPECT_EQ(narrow.width(), 5);
    LibraryPage grey(30, 30, 8);
    EXPECT_THROW(RunCrop(grey, {.cropBlack = 1}), QNCException);
    EXPECT_EQ(grey.width(), 30);
}

// Pages down to one row or column with every mode: no stray access, sizes stay sane.
TEST(CropTest, TinyPagesInEveryModeStayInBounds) {
    for (int w : {8, 9, 16, 33})
        for (int h : {1, 2, 3, 7, 50}) {
            for (const CropRun& settings :
                 {CropRun{.cropBlack = 1, .sensitivity = 0}, CropRun{.cropWhite = 1, .sensitivity = 0},
                  CropRun{.invertBlack = 1, .sensitivity = 3}, CropRun{.top = 5, .left = 5}}) {
                LibraryPage page(cleanup_test::RandomGrid(w, h, 0.5, static_cast<unsigned>(w * h)));
                EXPECT_EQ(RunCrop(page, settings), CCropImage::kDone);
                EXPECT_GE(page.width(), 1);
                EXPECT_LE(page.width(), w);
                EXPECT_LE(page.height(), h);
            }
        }
}

}  // namespace
