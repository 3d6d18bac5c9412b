// BoolImage: bit layout of the thresholded page, the decisions it copies from
// its source, range checks, cursor forms, the rotated view and the quarter
// turns of the stored bits.
#include "image/BoolImage.h"

#include "TestDibs.h"
#include "image/PixelImage.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using image_test::DibBuffer;
using image_test::ExpectQnc;
using image_test::Pattern;

namespace {

std::vector<std::uint8_t> Bytes(const BoolImage& im) {
    const BoolArray& a = im.bits();
    return {a.bytes(), a.bytes() + a.byteCount()};
}

// Stored pixel (x, y) straight from the packed bits: bit y * width + x.
bool Stored(const BoolImage& im, int x, int y) {
    const auto i = static_cast<std::uint32_t>(y * im.storedWidth() + x);
    return (im.bits().bytes()[i / 8] >> (i % 8)) & 1;
}

// A 1-bit source holding the pattern.
struct PatternPage {
    explicit PatternPage(int w, int h) : dib(w, h, 1), image((image_test::FillPattern(dib), dib.header())) {}
    DibBuffer dib;
    PixelImage image;
};

TEST(BoolImageLayout, TenByThreeIsThirtyBitsInFourBytes) {
    DibBuffer dib(10, 3, 1);
    dib.fill({255, 255, 255});
    dib.set(9, 1, {0, 0, 0});
    PixelImage source(dib.header());
    BoolImage im(&source);
    EXPECT_EQ(im.bits().bitCount(), 30u);
    EXPECT_EQ(im.bits().byteCount(), 4u);
    EXPECT_EQ(im.pixelCount(), 30u);
    // Pixel (9, 1) is bit 19: byte 2, mask 0x08; everything else (and the
    // spare bits) white.
    EXPECT_EQ(Bytes(im), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xF7, 0xFF}));
    EXPECT_FALSE(im.get(9, 1));
    EXPECT_TRUE(im.get(8, 1));
    EXPECT_TRUE(im.get(0, 2));
}

TEST(BoolImageLayout, SixteenByOneHasASpareByte) {
    DibBuffer dib(16, 1, 1);
    PixelImage source(dib.header());
    BoolImage im(&source);
    EXPECT_EQ(im.bits().byteCount(), 3u);
    EXPECT_EQ(Bytes(im), (std::vector<std::uint8_t>{0x00, 0x00, 0xFF}));
}

TEST(BoolImageLayout, CopiesSizeNameResolutionAndStartsPlain) {
    DibBuffer dib(12, 5, 1);
    PixelImage source(dib.header());
    source.setName(std::string(300, 'n'));
    BoolImage im(&source);
    EXPECT_EQ(im.width(), 12);
    EXPECT_EQ(im.height(), 5);
    EXPECT_EQ(im.storedWidth(), 12);
    EXPECT_EQ(im.name(), std::string(259, 'n'));
    EXPECT_EQ(im.xResolution(), 11811);
    EXPECT_EQ(im.yResolution(), 5905);
    EXPECT_EQ(im.flag(), 1);
    EXPECT_EQ(im.cursor(), nullptr);
    EXPECT_FALSE(im.rotatedView());
    im.setFlag(7);
    EXPECT_EQ(im.flag(), 7);
}

class BoolImageFromSource : public ::testing::TestWithParam<int> {};

TEST_P(BoolImageFromSource, EveryBitIsTheSourcesDecision) {
    const int bits = GetParam();
    DibBuffer dib(41, 37, bits);
    image_test::FillPattern(dib);
    PixelImage source(dib.header());
    BoolImage im(&source);
    for (int y = 0; y < 37; ++y)
        for (int x = 0; x < 41; ++x) ASSERT_EQ(Stored(im, x, y), source.isWhite(x, y)) << x << "," << y;
}

TEST_P(BoolImageFromSource, FollowsTheSourcesTurnedView) {
    const int bits = GetParam();
    DibBuffer dib(41, 37, bits);
    image_test::FillPattern(dib);
    PixelImage source(dib.header());
    source.setRotatedView(true);
    BoolImage im(&source);
    EXPECT_EQ(im.storedWidth(), 37);
    EXPECT_EQ(im.storedHeight(), 41);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(Stored(im, x, y), source.isWhite(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Depths, BoolImageFromSource, ::testing::Values(1, 8, 24));

TEST(BoolImageThreshold, ModeOneSetsTheSourcesThreshold) {
    DibBuffer dib(60, 40, 8);
    dib.fill({100, 100, 100});
    PixelImage source(dib.header());
    BoolImage im(&source);
    EXPECT_EQ(source.whiteThreshold(), 120);  // fallback: 100 + 20, midway, + 10
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_FALSE(im.get(x, y));
}

TEST(BoolImageThreshold, UniformLightPageIsAllWhite) {
    DibBuffer dib(60, 40, 8);
    dib.fill({200, 200, 200});
    PixelImage source(dib.header());
    BoolImage im(&source);
    EXPECT_EQ(source.whiteThreshold(), 200);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) ASSERT_TRUE(im.get(x, y));
}

TEST(BoolImageThreshold, OtherModesKeepTheSourcesThreshold) {
    DibBuffer dib(60, 40, 8);
    dib.fill({60, 60, 60});
    PixelImage source(dib.header());
    source.setWhiteThreshold(50);
    BoolImage im(&source, 0);
    EXPECT_EQ(source.whiteThreshold(), 50);
    EXPECT_TRUE(im.get(10, 10));
}

TEST(BoolImageThreshold, ModeTwoIsNotImplementedForGreyPages) {
    DibBuffer grey(60, 40, 8);
    PixelImage source(grey.header());
    ExpectQnc([&] { BoolImage im(&source, 2); }, "Not implemented", 0);
    DibBuffer bw(16, 2, 1);
    PixelImage bwSource(bw.header());
    EXPECT_NO_THROW(BoolImage(&bwSource, 2));
}

TEST(BoolImageThreshold, NoSource) {
    ExpectQnc([] { BoolImage im(nullptr); }, "No image", 0);
}

TEST(BoolImageThreshold, SourceKeepsItsCursor) {
    PatternPage page(16, 4);
    PixelCursor mine;
    mine.x = 3;
    page.image.setCursor(&mine);
    BoolImage im(&page.image);
    EXPECT_EQ(page.image.cursor(), &mine);
    EXPECT_EQ(mine.x, 3);
}

class BoolImageRange : public ::testing::TestWithParam<bool> {};

TEST_P(BoolImageRange, OutsideReadsWhiteAndIgnoresWrites) {
    DibBuffer dib(13, 6, 1);  // all black
    PixelImage source(dib.header());
    BoolImage im(&source);
    im.setRotatedView(GetParam());
    const int w = im.width();
    const int h = im.height();
    const auto before = Bytes(im);
    const std::pair<int, int> outside[] = {{-1, 0}, {0, -1}, {w, 0}, {0, h}, {65536, 0}, {0, 65536 + 1}, {INT_MIN, 0}};
    for (const auto& [x, y] : outside) {
        EXPECT_TRUE(im.getChecked(x, y)) << x << "," << y;
        im.setChecked(x, y, 1);
    }
    EXPECT_EQ(Bytes(im), before);
    EXPECT_FALSE(im.getChecked(w - 1, h - 1));
    EXPECT_FALSE(im.getChecked(0, 0));

    PixelCursor cursor;
    cursor.bit = 1;
    im.setCursor(&cursor);
    cursor.x = static_cast<std::uint16_t>(w);
    EXPECT_TRUE(im.getAtChecked());
    cursor.x = 0;
    cursor.y = static_cast<std::uint16_t>(h);
    EXPECT_TRUE(im.getAtChecked());
    EXPECT_EQ(Bytes(im), before);
}

INSTANTIATE_TEST_SUITE_P(Views, BoolImageRange, ::testing::Bool());

TEST(BoolImageAccess, CursorAndCoordinateWrites) {
    DibBuffer dib(10, 3, 1);
    PixelImage source(dib.header());
    BoolImage im(&source);
    PixelCursor cursor;
    im.setCursor(&cursor);
    EXPECT_EQ(im.cursor(), &cursor);
    cursor.x = 9;
    cursor.y = 1;
    cursor.bit = 1;
    im.setAt();
    EXPECT_EQ(im.bits().bytes()[2], 0x08);
    EXPECT_TRUE(im.getAt());
    cursor.bit = 0;
    im.setAt();
    EXPECT_FALSE(im.getAt());
    im.set(1, 0, 5);  // nonzero is white
    EXPECT_EQ(im.bits().bytes()[0], 0x02);
    im.setChecked(1, 0, 0);
    EXPECT_EQ(im.bits().bytes()[0], 0x00);
}

TEST(BoolImageView, TurnedViewReadsStoredPixelBFlippedA) {
    PatternPage page(13, 6);
    BoolImage im(&page.image);
    im.setRotatedView(true);
    EXPECT_EQ(im.width(), 6);
    EXPECT_EQ(im.height(), 13);
    EXPECT_EQ(im.get(0, 0), Stored(im, 0, 5));  // the stored bottom-left
    PixelCursor cursor;
    im.setCursor(&cursor);
    for (int b = 0; b < 13; ++b) {
        for (int a = 0; a < 6; ++a) {
            const bool expected = Stored(im, b, 6 - 1 - a);
            ASSERT_EQ(im.get(a, b), expected);
            ASSERT_EQ(im.getChecked(a, b), expected);
            cursor.x = static_cast<std::uint16_t>(a);
            cursor.y = static_cast<std::uint16_t>(b);
            ASSERT_EQ(im.getAt(), expected);
            ASSERT_EQ(im.getAtChecked(), expected);
        }
    }
    im.set(2, 11, 0);
    EXPECT_FALSE(Stored(im, 11, 3));
    im.set(2, 11, 1);
    EXPECT_TRUE(Stored(im, 11, 3));
    im.setRotatedView(false);
    EXPECT_EQ(im.width(), 13);
}

struct TurnCase {
    int turns;
    // Old stored pixel of new (x, y), with the old size w x h.
    std::pair<int, int> (*source)(int x, int y, int w, int h);
};

class BoolImageRotate : public ::testing::TestWithParam<TurnCase> {};

TEST_P(BoolImageRotate, MovesEveryPixel) {
    constexpr int kW = 11;
    constexpr int kH = 4;
    PatternPage page(kW, kH);
    BoolImage original(&page.image);
    BoolImage im(&page.image);
    im.rotate(GetParam().turns);
    const bool quarter = GetParam().turns % 2 == 1;
    ASSERT_EQ(im.storedWidth(), quarter ? kH : kW);
    ASSERT_EQ(im.storedHeight(), quarter ? kW : kH);
    EXPECT_EQ(im.width(), im.storedWidth());
    EXPECT_EQ(im.pixelCount(), static_cast<std::uint32_t>(kW * kH));
    for (int y = 0; y < im.storedHeight(); ++y) {
        for (int x = 0; x < im.storedWidth(); ++x) {
            const auto [ox, oy] = GetParam().source(x, y, kW, kH);
            ASSERT_EQ(Stored(im, x, y), Stored(original, ox, oy)) << x << "," << y;
            ASSERT_EQ(im.get(x, y), Stored(original, ox, oy));
        }
    }
    // Row tables follow the new size: the checked forms see the new edges.
    EXPECT_TRUE(im.getChecked(im.storedWidth(), 0));
    EXPECT_EQ(im.getChecked(im.storedWidth() - 1, im.storedHeight() - 1),
              Stored(im, im.storedWidth() - 1, im.storedHeight() - 1));
}

INSTANTIATE_TEST_SUITE_P(Turns, BoolImageRotate,
                         ::testing::Values(TurnCase{1,
                                                    [](int x, int y, int, int h) {
                                                        return std::pair{y, h - 1 - x};
                                                    }},
                                           TurnCase{2,
                                                    [](int x, int y, int w, int h) {
                                                        return std::pair{w - 1 - x, h - 1 - y};
                                                    }},
                                           TurnCase{3, [](int x, int y, int w, int) {
                                                        return std::pair{w - 1 - y, x};
                                                    }}));

struct RestoreCase {
    std::vector<int> turns;
};

class BoolImageRestore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(BoolImageRestore, TurnsAddingUpToAFullCircleRestoreEveryByte) {
    PatternPage page(11, 4);
    BoolImage im(&page.image);
    const auto before = Bytes(im);
    for (const int n : GetParam().turns) im.rotate(n);
    EXPECT_EQ(im.storedWidth(), 11);
    EXPECT_EQ(im.storedHeight(), 4);
    EXPECT_EQ(Bytes(im), before);
}

INSTANTIATE_TEST_SUITE_P(Sequences, BoolImageRestore,
                         ::testing::Values(RestoreCase{{1, 1, 1, 1}}, RestoreCase{{2, 2}}, RestoreCase{{1, 3}},
                                           RestoreCase{{3, 1}}, RestoreCase{{0}}, RestoreCase{{3, 3, 2}}));

TEST(BoolImageRotate, OutsideZeroToThreeIsRefusedAndChangesNothing) {
    PatternPage page(11, 4);
    BoolImage im(&page.image);
    const auto before = Bytes(im);
    for (const int n : {4, -1, 5, INT_MIN}) {
        ExpectQnc([&] { im.rotate(n); }, "Invalid rotation", 0);
        EXPECT_EQ(im.storedWidth(), 11);
        EXPECT_EQ(Bytes(im), before);
    }
}

}  // namespace
