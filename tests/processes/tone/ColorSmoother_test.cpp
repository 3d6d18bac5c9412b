// Colour smoothing's two steps on pages drawn in code: the tolerance
// arithmetic, the sampled average, replacement on 24-bit pixels and in 8-bit
// colour tables, and the rectangles and tables it refuses.
#include "processes/tone/ColorSmoother.h"

#include "framework/CZRException.h"
#include "platform/com/ComError.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

HRESULT ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const CZRException& e) {
        return e.Error();
    } catch (const _com_error& e) {
        return e.Error();
    }
    return S_OK;
}

void Fill(PixelImage& image, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, r, g, b);
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

Rgb At(const PixelImage& image, int x, int y) {
    std::uint8_t r = 0, g = 0, b = 0;
    image.getPixel(x, y, r, g, b);
    return {r, g, b};
}

RGBQUAD* Table(PixelImage& image) { return reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(image.header()) + 40); }

TEST(ColorTolerance, IsPercentTimesTwoPointFiveFiveTruncated) {
    const std::pair<long, long long> cases[] = {{20, 51}, {50, 127},  {100, 254}, {0, 0},
                                                {1, 2},   {-10, -25}, {101, 257}, {0x7FFFFFFF, 5476083299LL}};
    for (auto [percent, expected] : cases) EXPECT_EQ(ColorSmoother::toleranceFor(percent), expected) << percent;
}

TEST(ColorAverage, SamplesEveryFourthPixelOfEveryFourthRowOnColourPages) {
    PixelImage page(100, 80, 24, false);
    Fill(page, 0, 0, 0);
    // Only the sampled grid (x - 10, y - 20 multiples of 4) is coloured.
    for (int y = 20; y <= 60; y += 4)
        for (int x = 10; x <= 50; x += 4) page.setPixel(x, y, 30, 60, 90);
    ColorSmoother smoother(nullptr);
    const AverageColor average = smoother.averageZoneColor(page, 10, 20, 50, 60);
    EXPECT_EQ(average.red, 30);
    EXPECT_EQ(average.green, 60);
    EXPECT_EQ(average.blue, 90);
    EXPECT_EQ(average.spare, 0);
}

TEST(ColorAverage, AveragesAndTruncatesPerChannel) {
    PixelImage page(64, 64, 24, false);
    Fill(page, 10, 20, 30);
    // Rows 0, 8, 16, ... of the sampled rows 0, 4, 8 ...: half the samples.
    for (int y = 0; y < 64; y += 8)
        for (int x = 0; x < 64; ++x) page.setPixel(x, y, 11, 21, 33);
    ColorSmoother smoother(nullptr);
    const AverageColor average = smoother.averageZoneColor(page, 0, 0, 63, 63);
    EXPECT_EQ(average.red, 10);    // 10.5
    EXPECT_EQ(average.green, 20);  // 20.5
    EXPECT_EQ(average.blue, 31);   // 31.5
}

struct ZoneCase {
    const char* name;
    long long x0, y0, x1, y1;
    HRESULT expected;
};

class ColorZoneTest : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(ColorZoneTest, CornersMustLieInsideThePage) {
    for (int bits : {8, 24}) {
        PixelImage page(120, 90, bits, true);
        ColorSmoother smoother(nullptr);
        const ZoneCase& c = GetParam();
        EXPECT_EQ(ErrorOf([&] { smoother.averageZoneColor(page, c.x0, c.y0, c.x1, c.y1); }), c.expected) << bits;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ColorZoneTest,
    ::testing::Values(ZoneCase{"Inside", 0, 0, 119, 89, S_OK},
                      ZoneCase{"ReachingTheRightEdge", 20, 10, 120, 50, CZRException::FromMessageId(2163)},
                      ZoneCase{"ReachingTheBottom", 20, 10, 60, 90, CZRException::FromMessageId(2163)},
                      ZoneCase{"NegativeLeft", -4, 10, 60, 50, CZRException::FromMessageId(2163)},
                      ZoneCase{"NegativeTop", 4, -10, 60, 50, CZRException::FromMessageId(2163)},
                      ZoneCase{"Inverted", 60, 10, 20, 50, E_FAIL}, ZoneCase{"OneRow", 20, 40, 60, 40, S_OK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorAverage, OtherDepthsSampleNothingAndFail) {
    PixelImage page(40, 40, 1, true);
    ColorSmoother smoother(nullptr);
    EXPECT_EQ(ErrorOf([&] { smoother.averageZoneColor(page, 0, 0, 10, 10); }), E_FAIL);
}

// An 8-bit DIB with a 16-entry colour table, built by hand: every pixel 3,
// one pixel 200.
TEST(ColorAverage, PaletteIndexPastAShortTableIsRefused) {
    const int width = 40, height = 40;
    std::vector<std::uint32_t> memory((40 + 16 * 4 + width * height) / 4);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(memory.data());
    header->biSize = 40;
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 8;
    header->biClrUsed = 16;
    BYTE* bits = reinterpret_cast<BYTE*>(memory.data()) + 40 + 16 * 4;
    std::fill_n(bits, width * height, 3);
    PixelImage view(header);
    view.setPixel(25, 25, 200);
    ColorSmoother smoother(nullptr);
    EXPECT_EQ(ErrorOf([&] { smoother.averageZoneColor(view, 0, 0, 20, 20); }), S_OK);
    EXPECT_EQ(ErrorOf([&] { smoother.averageZoneColor(view, 0, 0, 30, 30); }), CZRException::FromMessageId(2178));
    // Replacement walks the 16 entries the table has, no more.
    smoother.replaceNearColor(view, AverageColor{9, 9, 9, 0}, 255);
    EXPECT_EQ(bits[0], 3);
}

TEST(ColorReplace, ToleranceDecidesPerChannelOnColourPages) {
    const AverageColor average{100, 150, 200, 0};  // blue, green, red
    struct Case {
        long percent;
        Rgb pixel;
        bool replaced;
    } cases[] = {
        {0, {200, 150, 100}, true},   {0, {201, 150, 100}, false}, {20, {251, 99, 49}, true},
        {20, {252, 150, 100}, false}, {20, {200, 150, 48}, false}, {100, {0, 150, 100}, true},
    };
    for (const Case& c : cases) {
        PixelImage page(16, 4, 24, false);
        Fill(page, static_cast<std::uint8_t>(c.pixel.r), static_cast<std::uint8_t>(c.pixel.g),
             static_cast<std::uint8_t>(c.pixel.b));
        ColorSmoother smoother(nullptr);
        smoother.replaceNearColor(page, average, ColorSmoother::toleranceFor(c.percent));
        const Rgb expected = c.replaced ? Rgb{200, 150, 100} : c.pixel;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_EQ(At(page, x, y), expected) << c.percent << " " << c.pixel.r;
    }
}

TEST(ColorReplace, PalettePagesChangeTableEntriesNotPixels) {
    PixelImage page(32, 8, 8, false);
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 8; ++y) page.setPixel(x, y, static_cast<std::uint8_t>(x * 8));
    std::vector<BYTE> before(page.bits(), page.bits() + page.stride() * page.height());
    RGBQUAD* table = Table(page);
    ColorSmoother smoother(nullptr);
    // Grey table: entry i is (i, i, i). Average 100: entries 49..151 within 51.
    smoother.replaceNearColor(page, AverageColor{100, 100, 100, 0}, 51);
    for (int i = 0; i < 256; ++i) {
        const int expected = i >= 49 && i <= 151 ? 100 : i;
        ASSERT_EQ(table[i].rgbRed, expected) << i;
        ASSERT_EQ(table[i].rgbBlue, expected) << i;
    }
    EXPECT_EQ(std::vector<BYTE>(page.bits(), page.bits() + page.stride() * page.height()), before);
}

TEST(ColorAverage, PalettePagesAverageTheirTableColours) {
    PixelImage page(20, 20, 8, false);
    std::fill_n(page.bits(), page.stride() * page.height(), 7);
    RGBQUAD* table = Table(page);
    table[7] = RGBQUAD{10, 20, 30, 0};  // blue, green, red
    ColorSmoother smoother(nullptr);
    const AverageColor average = smoother.averageZoneColor(page, 2, 2, 5, 5);
    EXPECT_EQ(average.blue, 10);
    EXPECT_EQ(average.green, 20);
    EXPECT_EQ(average.red, 30);
}

}  // namespace

namespace {

TEST(ColorReplace, RowsAndAccessorsReplaceTheSamePixels) {
    PixelImage rows(203, 61, 24, false);
    unsigned seed = 99;
    for (int y = 0; y < rows.height(); ++y)
        for (int x = 0; x < rows.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            rows.setPixel(x, y, static_cast<std::uint8_t>(150 + (seed >> 16) % 40),
                          static_cast<std::uint8_t>(100 + (seed >> 20) % 40),
                          static_cast<std::uint8_t>((seed >> 8) % 90));
        }
    PixelImage accessors(rows);
    const AverageColor average{40, 120, 170, 0};
    ColorSmoother direct(nullptr);
    direct.replaceNearColor(rows, average, 12);
    ColorSmoother table(nullptr);
    table.setAccessorsOnly(true);
    table.replaceNearColor(accessors, average, 12);
    int replaced = 0;
    for (int y = 0; y < rows.height(); ++y)
        for (int x = 0; x < rows.width(); ++x) {
            ASSERT_EQ(At(rows, x, y), At(accessors, x, y)) << x << "," << y;
            replaced += At(rows, x, y) == Rgb{170, 120, 40};
        }
    EXPECT_GT(replaced, 100);
    EXPECT_LT(replaced, 203 * 61 / 2);
}

}  // namespace
