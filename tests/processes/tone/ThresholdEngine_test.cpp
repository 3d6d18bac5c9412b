// The threshold engine on pages drawn in code: the zone histogram and its
// two-peak threshold, rectangle checks, the local threshold on uneven light,
// the edge filter's values around a single dark pixel, and the direct road
// against the accessor road. (Whole-page and zone runs of the global
// threshold: DynamicThresholding_test.cpp.)
#include "processes/tone/ThresholdEngine.h"

#include "framework/CZRException.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr HRESULT kOutside = CZRException::FromMessageId(2163);
constexpr HRESULT kTooSmall = CZRException::FromMessageId(2164);

HRESULT ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const CZRException& e) {
        return e.Error();
    }
    return S_OK;
}

// Every pixel of `image` set by `grey(x, y)` (all three channels on 24 bits).
void Paint(PixelImage& image, const std::function<int(int, int)>& grey) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, static_cast<std::uint8_t>(grey(x, y)));
}

int Grey(const PixelImage& image, int x, int y) {
    std::uint8_t r = 0, g = 0, b = 0;
    image.getPixel(x, y, r, g, b);
    return r;
}

ToneRect Whole(const PixelImage& image) { return {0, image.width(), 0, image.height()}; }

// --- the threshold from a histogram ---

struct PeakCase {
    const char* name;
    std::vector<std::pair<int, unsigned>> bins;  // level, count
    int shift;
    int expected;
};

class ZoneHistogramTest : public ::testing::TestWithParam<PeakCase> {};

TEST_P(ZoneHistogramTest, ThresholdIsMidwayBetweenPeaksPlusShiftWithinOneTo254) {
    PixelImage::Histogram counts{};
    for (auto [level, count] : GetParam().bins) counts[static_cast<std::size_t>(level)] = count;
    EXPECT_EQ(ThresholdEngine::zoneThresholdFromHistogram(counts, GetParam().shift), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Histograms, ZoneHistogramTest,
                         ::testing::Values(PeakCase{"SinglePeakAt200", {{200, 500}}, 0, 195},
                                           PeakCase{"SinglePeakAt200ShiftTen", {{200, 500}}, 10, 205},
                                           PeakCase{"SinglePeakAt100GoesUp", {{100, 500}}, 0, 105},
                                           PeakCase{"SinglePeakAt128GoesUp", {{128, 500}}, 0, 133},
                                           PeakCase{"TextAndPaper", {{30, 80}, {220, 900}}, 0, 125},
                                           PeakCase{"PeakNineLevelsAwayIgnored", {{200, 500}, {191, 400}}, 0, 195},
                                           PeakCase{
                                               "FartherSmallerPeakWins", {{220, 900}, {200, 300}, {20, 200}}, 0, 120},
                                           PeakCase{"ShiftFloorsAtOne", {{30, 500}}, -1000, 1},
                                           PeakCase{"ShiftCapsAt254", {{200, 500}}, 1000, 254},
                                           PeakCase{"HugeShiftDoesNotWrap", {{200, 500}}, 0x7FFFFFFF, 254},
                                           PeakCase{"EmptyHistogram", {}, 0, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// Full pages hold tens of thousands of samples in the paper peak: the
// square of count x distance no longer fits 32 bits, and the text peak must
// still beat a small peak between them.
TEST(ZoneHistogram, LargeCountsStillPickTheTextPeak) {
    for (unsigned text = 3000; text < 9000; text += 37) {
        PixelImage::Histogram counts{};
        counts[220] = 60000;
        counts[20] = text;
        counts[170] = 100;
        ASSERT_EQ(ThresholdEngine::zoneThresholdFromHistogram(counts, 0), 120) << text;
    }
}

TEST(ZoneThreshold, UniformPageAt200Gives195OnGreyAnd585OnColour) {
    for (int bits : {8, 24}) {
        PixelImage page(300, 200, bits, false);
        Paint(page, [](int, int) { return 200; });
        ThresholdEngine::computeZoneThreshold(page, Whole(page), 0);
        EXPECT_EQ(page.whiteThreshold(), bits == 8 ? 195 : 585);
    }
}

TEST(ZoneThreshold, SamplesOnlyInsideTheRectangle) {
    PixelImage page(400, 400, 8, false);
    // Dark outside the rectangle 100..300: a sample outside would move p.
    Paint(page, [](int x, int y) { return x >= 100 && x < 300 && y >= 100 && y < 300 ? 200 : 10; });
    PixelImage::Histogram counts;
    ThresholdEngine::sampleZoneHistogram(page, {100, 300, 100, 300}, counts);
    unsigned total = 0;
    for (unsigned c : counts) total += c;
    EXPECT_EQ(counts[200], total);
    // Rows 100, 112, ... while y < 288: 16 rows; 16 columns.
    EXPECT_EQ(total, 16u * 16u);
}

// --- rectangle checks ---

struct RectCase {
    const char* name;
    ToneRect rect;
    HRESULT expected;
};

class RectCheckTest : public ::testing::TestWithParam<RectCase> {};

TEST_P(RectCheckTest, EveryOperationRefusesBadRectanglesBeforeTouchingPixels) {
    PixelImage source(200, 150, 8, true);
    PixelImage destination(200, 150, 1, false);
    std::fill_n(destination.bits(), destination.stride() * destination.height(), 0x5A);
    const ToneRect rect = GetParam().rect;
    EXPECT_EQ(ErrorOf([&] { ThresholdEngine::applyGlobalThreshold(source, destination, rect, 0); }),
              GetParam().expected);
    EXPECT_EQ(ErrorOf([&] { ThresholdEngine::applyLocalThreshold(source, destination, rect, 20, 16, 0); }),
              GetParam().expected);
    PixelImage grey(200, 150, 8, false);
    EXPECT_EQ(ErrorOf([&] { ThresholdEngine::applyEdgeFilter(source, grey, rect); }), GetParam().expected);
    if (GetParam().expected != S_OK) {
        for (int i = 0; i < destination.stride() * destination.height(); ++i)
            ASSERT_EQ(destination.bits()[i], 0x5A) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rectangles, RectCheckTest,
                         ::testing::Values(RectCase{"WholePage", {0, 200, 0, 150}, S_OK},
                                           RectCase{"SixtyOneSquare", {10, 71, 20, 81}, S_OK},
                                           RectCase{"SixtyWide", {10, 70, 0, 150}, kTooSmall},
                                           RectCase{"SixtyHigh", {0, 200, 30, 90}, kTooSmall},
                                           RectCase{"PastRightEdge", {100, 201, 0, 150}, kOutside},
                                           RectCase{"PastBottom", {0, 200, 0, 151}, kOutside},
                                           RectCase{"Inverted", {150, 50, 0, 150}, kOutside},
                                           RectCase{"Empty", {0, 0, 0, 0}, kOutside},
                                           RectCase{"NegativeLeft", {-20, 100, 0, 150}, kOutside},
                                           RectCase{"NegativeTop", {0, 200, -1, 100}, kOutside},
                                           RectCase{"FarOutside", {5000, 6000, 5000, 6000}, kOutside}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ZoneThreshold, SixtyByOneThousandPageIsTooSmall) {
    PixelImage narrow(60, 1000, 8, true);
    PixelImage out(60, 1000, 1, false);
    EXPECT_EQ(ErrorOf([&] { ThresholdEngine::applyGlobalThreshold(narrow, out, Whole(narrow), 0); }), kTooSmall);
}

TEST(Threshold, DestinationOfAnotherSizeIsRefused) {
    PixelImage source(200, 150, 8, true);
    PixelImage small(100, 100, 1, false);
    EXPECT_EQ(ErrorOf([&] { ThresholdEngine::applyGlobalThreshold(source, small, Whole(source), 0); }),
              CZRException::FromMessageId(2165));
}

// --- local threshold ---

// Paper lit from the left: 250 falling to 60 at the right; text squares at a
// third of the paper's brightness. One global threshold loses the right half.
int UnevenPage(int x, int y) {
    const int paper = 250 - (190 * x) / 399;
    const bool ink = (x % 24) >= 8 && (x % 24) < 14 && (y % 24) >= 4 && (y % 24) < 18;
    return ink ? paper / 3 : paper;
}

TEST(LocalThreshold, FindsTextAcrossUnevenLightWhereTheGlobalThresholdFails) {
    PixelImage source(400, 300, 8, false);
    Paint(source, UnevenPage);
    PixelImage local(400, 300, 1, true);
    PixelImage global(400, 300, 1, true);
    ThresholdEngine::applyLocalThreshold(source, local, Whole(source), 20, 16, 0);
    ThresholdEngine::applyGlobalThreshold(source, global, Whole(source), 0);
    int localWrong = 0, globalWrong = 0, inner = 0;
    for (int y = 16; y < 270; ++y) {
        for (int x = 16; x < 370; ++x) {
            const bool ink = UnevenPage(x, y) * 3 < 250 - (190 * x) / 399 + 2;
            localWrong += local.isWhite(x, y) == ink;
            globalWrong += global.isWhite(x, y) == ink;
            ++inner;
        }
    }
    EXPECT_EQ(localWrong, 0);
    EXPECT_GT(globalWrong, inner / 10);
}

TEST(LocalThreshold, UniformWindowsFallBackToTheGlobalThreshold) {
    // A flat page darker than its own threshold's paper: max = min everywhere.
    PixelImage source(200, 200, 8, false);
    Paint(source, [](int, int) { return 100; });
    PixelImage destination(200, 200, 1, false);
    std::fill_n(destination.bits(), destination.stride() * destination.height(), 0);
    // Threshold 105 (single peak at 100, q = 110): 100 is black; shift 0.
    ThresholdEngine::applyLocalThreshold(source, destination, Whole(source), 0, 16, 0);
    EXPECT_EQ(source.whiteThreshold(), 105);
    for (int y = 0; y < 199; ++y)
        for (int x = 0; x < 199; ++x) ASSERT_FALSE(destination.isWhite(x, y));
    // With shift -10 the threshold is 95 and the flat page is white.
    ThresholdEngine::applyLocalThreshold(source, destination, Whole(source), 0, 16, -10);
    for (int y = 0; y < 199; ++y)
        for (int x = 0; x < 199; ++x) ASSERT_TRUE(destination.isWhite(x, y)) << x << "," << y;
}

TEST(LocalThreshold, BoxSizeRoundsUpToEvenAndDefaultsToSixteen) {
    const std::pair<int, int> cases[] = {
        {15, 16}, {0, 16}, {-1, 16}, {-100, 16}, {16, 16}, {17, 18}, {1, 2}, {2, 2}, {0x7FFFFFFF, 0x7FFFFFFE}};
    for (auto [box, expected] : cases) EXPECT_EQ(ThresholdEngine::boxSizeFor(box), expected) << box;
}

// A box's own threshold covers exactly its B x B pixels: with B = 16 one dark
// pixel inside a window raises contrast for the box that holds it, and the
// paper next to it (a shade lighter than the global threshold allows) turns
// white in that box only.
TEST(LocalThreshold, BoxesOfSixteenAreDecidedOnTheirOwn) {
    for (int box : {15, 0, -1}) {
        PixelImage source(256, 256, 8, false);
        // Paper 150 everywhere except one dark pixel at (70, 71), off the
        // histogram's sampling diagonal (x - y is never a multiple of 12 there).
        Paint(source, [](int x, int y) { return x == 70 && y == 71 ? 10 : 150; });
        PixelImage destination(256, 256, 1, true);
        // Shift 60: the global threshold is 145 + 60 = 205, so the paper is
        // black; a box whose window holds the dark pixel has contrast
        // (450 - 30) / 480 and its own threshold 30 + 210 + 60 = 300 < 450.
        ThresholdEngine::applyLocalThreshold(source, destination, Whole(source), 20, box, 60);
        int white = 0;
        int minX = 999, maxX = -1, minY = 999, maxY = -1;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                if (!destination.isWhite(x, y)) continue;
                ++white;
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
        }
        // The windows of the boxes at 48 and 64 (each reaching 8 pixels before
        // and 9 after the box) hold (70, 71): boxes 48..79 in both directions,
        // less the dark pixel.
        EXPECT_EQ(source.whiteThreshold(), 205) << box;
        EXPECT_EQ(minX, 48) << box;
        EXPECT_EQ(maxX, 79) << box;
        EXPECT_EQ(minY, 48) << box;
        EXPECT_EQ(maxY, 79) << box;
        EXPECT_EQ(white, 32 * 32 - 1) << box;
    }
}

TEST(LocalThreshold, BorderBoxesReachThePageEdgeOnColourPages) {
    PixelImage source(130, 100, 24, false);
    Paint(source, [](int x, int) { return x < 65 ? 30 : 220; });
    PixelImage destination(130, 100, 1, false);
    std::fill_n(destination.bits(), destination.stride() * destination.height(), 0);
    ThresholdEngine::applyLocalThreshold(source, destination, Whole(source), 20, 16, 0);
    // The last box starts at column 128, one before right - 1; as a border
    // box it is written up to the page's last column.
    for (int y = 0; y < 100; ++y) {
        EXPECT_TRUE(destination.isWhite(129, y)) << y;
        EXPECT_FALSE(destination.isWhite(0, y)) << y;
    }
}

// --- edge filter ---

TEST(EdgeFilter, DarkPixelGivesHalfGreyDiagonallyAndWhiteElsewhere) {
    for (int bits : {8, 24}) {
        PixelImage source(80, 80, bits, false);
        Paint(source, [](int x, int y) { return x == 40 && y == 40 ? 0 : 255; });
        PixelImage destination(80, 80, 8, false);
        std::fill_n(destination.bits(), destination.stride() * destination.height(), 7);
        ThresholdEngine::applyEdgeFilter(source, destination, Whole(source));
        // Diagonal neighbours: K = -255 (grey) or -765 (colour): 255 - 127 = 128.
        for (auto [x, y] : {std::pair{39, 39}, {41, 39}, {39, 41}, {41, 41}})
            EXPECT_EQ(Grey(destination, x, y), 128) << bits << " " << x << "," << y;
        EXPECT_EQ(Grey(destination, 40, 40), 255);
        EXPECT_EQ(Grey(destination, 40, 39), 255);
        EXPECT_EQ(Grey(destination, 10, 10), 255);
        // The frame: column and row 0 and the last two columns and rows stay as they were.
        for (int i = 0; i < 80; ++i) {
            EXPECT_EQ(Grey(destination, 0, i), 7);
            EXPECT_EQ(Grey(destination, i, 0), 7);
            EXPECT_EQ(Grey(destination, 78, i), 7);
            EXPECT_EQ(Grey(destination, 79, i), 7);
            EXPECT_EQ(Grey(destination, i, 78), 7);
        }
        EXPECT_EQ(Grey(destination, 77, 77), 255);
    }
}

TEST(EdgeFilter, ClampsAtZeroAndStaysInsideAZone) {
    PixelImage source(100, 100, 8, false);
    // A checkerboard: every direct neighbour differs from every diagonal one.
    Paint(source, [](int x, int y) { return (x + y) % 2 == 0 ? 0 : 255; });
    PixelImage destination(100, 100, 8, false);
    std::fill_n(destination.bits(), destination.stride() * destination.height(), 7);
    ThresholdEngine::applyEdgeFilter(source, destination, {20, 90, 10, 80});
    // Centre on a black pixel: diagonals black (0), directs white: K = -1020 -> 0.
    EXPECT_EQ(Grey(destination, 20, 10), 0);
    // Centre on a white pixel: diagonals white, directs black: 255 + 510 -> 255.
    EXPECT_EQ(Grey(destination, 21, 10), 255);
    EXPECT_EQ(Grey(destination, 88, 78), 0);
    EXPECT_EQ(Grey(destination, 89, 78), 7);
    EXPECT_EQ(Grey(destination, 88, 79), 7);
    EXPECT_EQ(Grey(destination, 19, 40), 7);
    EXPECT_EQ(Grey(destination, 40, 9), 7);
}

}  // namespace

// --- the two roads ---

struct RoadCase {
    int sourceBits, destinationBits;
};

class ThresholdRoadTest : public ::testing::TestWithParam<RoadCase> {};

// A noisy, unevenly lit page with text squares; the same result pixel for
// pixel whichever road the engine takes, on the whole page and in a zone.
TEST_P(ThresholdRoadTest, DirectRoadWritesWhatTheAccessorRoadWrites) {
    const RoadCase& c = GetParam();
    PixelImage source(203, 157, c.sourceBits, false);
    unsigned seed = 12345;
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = static_cast<int>((seed >> 16) % 31) - 15;
            const int base = UnevenPage(x * 2, y);
            source.setPixel(x, y, static_cast<std::uint8_t>(std::clamp(base + noise, 0, 255)),
                            static_cast<std::uint8_t>(std::clamp(base - noise, 0, 255)),
                            static_cast<std::uint8_t>(std::clamp(base + noise / 2, 0, 255)));
        }
    const ToneRect rects[] = {Whole(source), {17, 140, 9, 120}};
    for (const ToneRect& rect : rects) {
        for (int method = 0; method < 4; ++method) {
            PixelImage direct(source.width(), source.height(), c.destinationBits, false);
            PixelImage accessors(source.width(), source.height(), c.destinationBits, false);
            std::fill_n(direct.bits(), direct.stride() * direct.height(), 0x3C);
            std::fill_n(accessors.bits(), accessors.stride() * accessors.height(), 0x3C);
            auto run = [&](PixelImage& destination, PixelRoad road) {
                switch (method) {
                    case 0:
                        ThresholdEngine::applyGlobalThreshold(source, destination, rect, 3, road);
                        break;
                    case 1:
                        ThresholdEngine::applyLocalThreshold(source, destination, rect, 20, 12, -5, road);
                        break;
                    case 2:
                        ThresholdEngine::applyLocalThreshold(source, destination, rect, 0, -1, 30, road);
                        break;
                    default:
                        ThresholdEngine::applyEdgeFilter(source, destination, rect, road);
                }
            };
            run(direct, PixelRoad::Direct);
            run(accessors, PixelRoad::Accessors);
            const std::size_t size = static_cast<std::size_t>(direct.stride()) * direct.height();
            const auto mismatch = std::mismatch(direct.bits(), direct.bits() + size, accessors.bits());
            ASSERT_EQ(mismatch.first, direct.bits() + size)
                << "method " << method << " rect " << rect.left << " byte " << (mismatch.first - direct.bits()) << ": "
                << int(*mismatch.first) << " vs " << int(*mismatch.second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ThresholdRoadTest,
                         ::testing::Values(RoadCase{8, 1}, RoadCase{8, 8}, RoadCase{8, 24}, RoadCase{24, 1},
                                           RoadCase{24, 8}, RoadCase{24, 24}),
                         [](const auto& info) {
                             return std::to_string(info.param.sourceBits) + "To" +
                                    std::to_string(info.param.destinationBits);
                         });
