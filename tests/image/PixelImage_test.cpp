// PixelImage: DIB layout (bottom-up rows, padding, bit order, byte order),
// size refusals, range-checked and cursor accessors, the rotated view, and
// the bitmaps it creates, copies and hands over.
#include "image/PixelImage.h"

#include "TestDibs.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

using image_test::DibBuffer;
using image_test::ExpectCzr;
using image_test::ExpectQnc;
using image_test::Pattern;
using image_test::Rgb;

namespace {

Rgb Read(const PixelImage& im, int x, int y) {
    Rgb c;
    im.getPixel(x, y, c.red, c.green, c.blue);
    return c;
}

Rgb ReadChecked(const PixelImage& im, int x, int y) {
    Rgb c;
    im.getPixelChecked(x, y, c.red, c.green, c.blue);
    return c;
}

bool RefWhite(int bits, Rgb c, int threshold) {
    if (bits == 1) return c.red != 0;
    if (bits == 8) return c.red >= threshold;
    return c.red + c.green + c.blue >= threshold;
}

// --- header and size checks ---

TEST(PixelImageWrap, RefusesMissingOrForeignHeader) {
    ExpectQnc([] { PixelImage im(nullptr); }, "Invalid image", 2160);
    DibBuffer dib(16, 4, 8);
    dib.header()->biSize = 12;
    ExpectQnc([&] { PixelImage im(dib.header()); }, "Invalid image", 2160);
}

struct SizeCase {
    long width;
    long height;
    const char* error;  // null: accepted
    int id;
};

class PixelImageSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PixelImageSize, AcceptsOrRefusesWrappedDib) {
    const SizeCase& c = GetParam();
    if (!c.error) {
        DibBuffer dib(static_cast<int>(c.width), static_cast<int>(c.height), 8);
        PixelImage im(dib.header());
        EXPECT_EQ(im.width(), c.width);
        EXPECT_EQ(im.height(), c.height);
        return;
    }
    // Refusals happen before any pixel is touched: a bare header suffices.
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = static_cast<LONG>(c.width);
    h.biHeight = static_cast<LONG>(c.height);
    h.biBitCount = 8;
    ExpectQnc([&] { PixelImage im(&h); }, c.error, c.id);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PixelImageSize,
    ::testing::Values(SizeCase{7, 5, "Image too small", 2165}, SizeCase{0, 5, "Image too small", 2165},
                      SizeCase{8, 0, "Image too small", 2165}, SizeCase{8, 1, nullptr, 0}, SizeCase{9, 3, nullptr, 0},
                      // Top-down or wider/taller than 16 bits hold: refused, never
                      // truncated into a wrong (or huge) size.
                      SizeCase{16, -4, "Invalid image", 2160}, SizeCase{-16, 4, "Invalid image", 2160},
                      SizeCase{65536 + 16, 4, "Invalid image", 2160}, SizeCase{16, 65536 + 4, "Invalid image", 2160},
                      SizeCase{65536 + 7, 4, "Invalid image", 2160}));

TEST(PixelImageWrap, TakesLayoutFromHeader) {
    DibBuffer dib(13, 5, 24);
    PixelImage im(dib.header());
    EXPECT_EQ(im.bitCount(), 24);
    EXPECT_EQ(im.stride(), 40);  // 39 bytes rounded up to 4
    EXPECT_EQ(im.xResolution(), 11811);
    EXPECT_EQ(im.yResolution(), 5905);
    EXPECT_EQ(im.handle(), -1);
    EXPECT_EQ(im.whiteThreshold(), 384);
    EXPECT_FALSE(im.rotatedView());
    EXPECT_EQ(im.cursor(), nullptr);
    EXPECT_TRUE(im.name().empty());
    EXPECT_EQ(im.row(0), dib.pageRow(0));
    EXPECT_EQ(im.row(4), dib.pageRow(4));
}

TEST(PixelImageWrap, RowsStartAfterTheColourTableTheHeaderDeclares) {
    DibBuffer dib(16, 3, 8, /*clrUsed=*/16);
    dib.set(3, 1, {77, 77, 77});
    PixelImage im(dib.header());
    EXPECT_EQ(Read(im, 3, 1), (Rgb{77, 77, 77}));
    EXPECT_EQ(Read(im, 2, 1), (Rgb{0, 0, 0}));
}

// --- reading and writing in the plain view ---

TEST(PixelImageRead, TopLeftOfBottomUpOneBitPage) {
    DibBuffer dib(16, 4, 1);
    // Bit 7 of the first byte of the last memory row: page pixel (0, 0).
    dib.pageRow(0)[0] = 0x80;
    PixelImage im(dib.header());
    EXPECT_TRUE(im.isWhite(0, 0));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (x || y) {
                EXPECT_FALSE(im.isWhite(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(PixelImageRead, TwentyFourBitBytesAreBlueGreenRed) {
    DibBuffer dib(8, 2, 24);
    std::uint8_t* p = dib.pageRow(1) + 3 * 5;
    p[0] = 10;
    p[1] = 20;
    p[2] = 30;
    PixelImage im(dib.header());
    EXPECT_EQ(Read(im, 5, 1), (Rgb{30, 20, 10}));
    im.setWhiteThreshold(60);
    EXPECT_TRUE(im.isWhite(5, 1));
    im.setWhiteThreshold(61);
    EXPECT_FALSE(im.isWhite(5, 1));
}

TEST(PixelImageRead, EightBitThresholdIsInclusive) {
    DibBuffer dib(8, 1, 8);
    dib.set(0, 0, {128, 128, 128});
    dib.set(1, 0, {127, 127, 127});
    PixelImage im(dib.header());
    EXPECT_TRUE(im.isWhite(0, 0));
    EXPECT_FALSE(im.isWhite(1, 0));
}

class PixelImageLayout : public ::testing::TestWithParam<std::tuple<int, int>> {
protected:
    int bits() const { return std::get<0>(GetParam()); }
    int width() const { return std::get<1>(GetParam()); }
    static constexpr int kHeight = 5;
};

TEST_P(PixelImageLayout, ReadsEveryPixelWhereTheLayoutPutsIt) {
    DibBuffer dib(width(), kHeight, bits());
    image_test::FillPattern(dib);
    const auto before = dib.snapshot();
    PixelImage im(dib.header());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < width(); ++x) {
            const Rgb expected = Pattern(bits(), x, y);
            ASSERT_EQ(Read(im, x, y), expected) << x << "," << y;
            ASSERT_EQ(im.isWhite(x, y), RefWhite(bits(), expected, im.whiteThreshold())) << x << "," << y;
            ASSERT_EQ(ReadChecked(im, x, y), expected);
        }
    }
    EXPECT_EQ(dib.snapshot(), before);
}

TEST_P(PixelImageLayout, WritesOnlyThePixelAddressed) {
    DibBuffer reference(width(), kHeight, bits());
    image_test::FillPattern(reference);
    DibBuffer dib(width(), kHeight, bits());
    PixelImage im(dib.header());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < width(); ++x) {
            const Rgb c = Pattern(bits(), x, y);
            if ((x + y) % 2) {
                im.setPixel(x, y, c.red, c.green, c.blue);
            } else {
                im.setPixelChecked(x, y, c.red, c.green, c.blue);
            }
        }
    }
    // Pixels equal the reference and the row padding kept its sentinel.
    EXPECT_EQ(dib.snapshot(), reference.snapshot());
}

TEST_P(PixelImageLayout, CursorFormsFollowTheCursor) {
    DibBuffer dib(width(), kHeight, bits());
    image_test::FillPattern(dib);
    DibBuffer copy(width(), kHeight, bits());
    PixelImage im(dib.header());
    PixelImage out(copy.header());
    PixelCursor cursor;
    im.setCursor(&cursor);
    out.setCursor(&cursor);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < width(); ++x) {
            cursor.x = static_cast<std::uint16_t>(x);
            cursor.y = static_cast<std::uint16_t>(y);
            im.getPixelAt();
            const Rgb expected = Pattern(bits(), x, y);
            ASSERT_EQ((Rgb{cursor.red, cursor.green, cursor.blue}), expected);
            ASSERT_EQ(im.isWhiteAt(), RefWhite(bits(), expected, im.whiteThreshold()));
            ASSERT_EQ(im.isWhiteAtChecked(), im.isWhiteAt());
            if (x % 2) {
                out.setPixelAt();
            } else {
                out.setPixelAtChecked();
            }
        }
    }
    EXPECT_EQ(copy.snapshot(), dib.snapshot());
}

INSTANTIATE_TEST_SUITE_P(DepthsAndWidths, PixelImageLayout,
                         ::testing::Combine(::testing::Values(1, 8, 24), ::testing::Values(8, 9, 13, 15, 17, 31, 33)));

TEST(PixelImageWrite, OneValueFormPerDepth) {
    DibBuffer bw(8, 1, 1);
    PixelImage b(bw.header());
    b.setPixel(3, 0, 1);
    EXPECT_EQ(bw.pageRow(0)[0], 0x10);
    b.setPixel(3, 0, 0);
    EXPECT_EQ(bw.pageRow(0)[0], 0x00);

    DibBuffer grey(8, 1, 8);
    PixelImage g(grey.header());
    g.setPixel(2, 0, 99, 1, 2);  // the first colour value is the grey level
    EXPECT_EQ(grey.pageRow(0)[2], 99);
}

TEST(PixelImageWrite, MarksTheCursorPixelOnOneBitPages) {
    DibBuffer dib(16, 2, 1);
    PixelImage im(dib.header());
    PixelCursor cursor;
    cursor.x = 9;
    cursor.y = 1;
    im.setCursor(&cursor);
    im.setCursorWhite();
    EXPECT_EQ(dib.pageRow(1)[1], 0x40);
    im.setCursorBlack();
    EXPECT_EQ(dib.pageRow(1)[1], 0x00);
}

// --- range-checked forms: outside is white, writes outside are dropped ---

struct Outside {
    int x;
    int y;
};

class PixelImageRange : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(PixelImageRange, OutsideReadsWhiteAndIgnoresWrites) {
    const int bits = std::get<0>(GetParam());
    const bool rotated = std::get<1>(GetParam());
    DibBuffer dib(13, 6, bits);  // all black
    PixelImage im(dib.header());
    im.setRotatedView(rotated);
    const int w = im.viewWidth();
    const int h = im.viewHeight();
    const Outside cases[] = {{-1, 0},     {0, -1},    {w, 0},     {0, h},         {w, h},       {-65536, 0},
                             {0, -65536}, {65536, 0}, {0, 65536}, {65536 + 1, 1}, {INT_MIN, 0}, {0, INT_MAX}};
    const auto before = dib.snapshot();
    for (const Outside& c : cases) {
        EXPECT_TRUE(im.isWhiteChecked(c.x, c.y)) << c.x << "," << c.y;
        EXPECT_EQ(ReadChecked(im, c.x, c.y), (Rgb{255, 255, 255})) << c.x << "," << c.y;
        im.setPixelChecked(c.x, c.y, 255, 255, 255);
    }
    EXPECT_EQ(dib.snapshot(), before);
    // The last pixel inside is still read (black), not taken for outside.
    EXPECT_FALSE(im.isWhiteChecked(w - 1, h - 1));

    PixelCursor cursor;
    cursor.red = cursor.green = cursor.blue = 255;
    im.setCursor(&cursor);
    for (const auto& [x, y] : {std::pair{w, 0}, std::pair{0, h}, std::pair{65535, 65535}}) {
        cursor.x = static_cast<std::uint16_t>(x);
        cursor.y = static_cast<std::uint16_t>(y);
        cursor.red = cursor.green = cursor.blue = 0;
        EXPECT_TRUE(im.isWhiteAtChecked());
        im.getPixelAtChecked();
        EXPECT_EQ((Rgb{cursor.red, cursor.green, cursor.blue}), (Rgb{255, 255, 255}));
        im.setPixelAtChecked();
    }
    EXPECT_EQ(dib.snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(DepthsAndViews, PixelImageRange,
                         ::testing::Combine(::testing::Values(1, 8, 24), ::testing::Bool()));

// --- the rotated view: a quarter turn clockwise ---

class PixelImageRotated : public ::testing::TestWithParam<int> {};

TEST_P(PixelImageRotated, ViewPixelUVIsPagePixelVFlippedU) {
    const int bits = GetParam();
    constexpr int kW = 13;
    constexpr int kH = 6;
    DibBuffer dib(kW, kH, bits);
    image_test::FillPattern(dib);
    PixelImage im(dib.header());
    im.setRotatedView(true);
    EXPECT_TRUE(im.rotatedView());
    EXPECT_EQ(im.viewWidth(), kH);
    EXPECT_EQ(im.viewHeight(), kW);
    EXPECT_EQ(im.width(), kW);                            // stored size is unchanged
    EXPECT_EQ(Read(im, 0, 0), Pattern(bits, 0, kH - 1));  // the page's bottom-left
    for (int v = 0; v < kW; ++v) {
        for (int u = 0; u < kH; ++u) {
            const Rgb expected = Pattern(bits, v, kH - 1 - u);
            ASSERT_EQ(Read(im, u, v), expected) << u << "," << v;
            ASSERT_EQ(ReadChecked(im, u, v), expected) << u << "," << v;
            ASSERT_EQ(im.isWhite(u, v), RefWhite(bits, expected, im.whiteThreshold()));
        }
    }
    // Inside the plain view but outside the turned one.
    EXPECT_TRUE(im.isWhiteChecked(kH, 0));
    im.setRotatedView(false);
    EXPECT_EQ(Read(im, 7, 2), Pattern(bits, 7, 2));
}

TEST_P(PixelImageRotated, WritesLandOnTheTurnedPixel) {
    const int bits = GetParam();
    constexpr int kW = 13;
    constexpr int kH = 6;
    DibBuffer reference(kW, kH, bits);
    DibBuffer dib(kW, kH, bits);
    PixelImage im(dib.header());
    im.setRotatedView(true);
    PixelCursor cursor;
    im.setCursor(&cursor);
    for (int v = 0; v < kW; ++v) {
        for (int u = 0; u < kH; ++u) {
            const Rgb c = Pattern(bits, u, v);
            reference.set(v, kH - 1 - u, c);
            if ((u + v) % 3 == 0) {
                im.setPixel(u, v, c.red, c.green, c.blue);
            } else if ((u + v) % 3 == 1) {
                im.setPixelChecked(u, v, c.red, c.green, c.blue);
            } else {
                cursor = PixelCursor{
                    c.red, c.green, c.blue, static_cast<std::uint16_t>(u), static_cast<std::uint16_t>(v), 1};
                im.setPixelAt();
            }
        }
    }
    EXPECT_EQ(dib.snapshot(), reference.snapshot());
}

INSTANTIATE_TEST_SUITE_P(Depths, PixelImageRotated, ::testing::Values(1, 8, 24));

// --- depths without accessors ---

class PixelImageBadDepth : public ::testing::TestWithParam<int> {};

TEST_P(PixelImageBadDepth, EverySlotFailsWithItsKind) {
    DibBuffer dib(8, 2, GetParam());
    PixelImage im(dib.header());
    PixelCursor cursor;
    im.setCursor(&cursor);
    std::uint8_t r = 0, g = 0, b = 0;
    const std::string isWhite = "isWhite(): Invalid function";
    const std::string getPixel = "getPixel(): Invalid function";
    const std::string setPixel = "setPixel(): Invalid function";
    ExpectQnc([&] { (void)im.isWhite(0, 0); }, isWhite, 0);
    ExpectQnc([&] { im.getPixel(0, 0, r, g, b); }, getPixel, 0);
    ExpectQnc([&] { (void)im.isWhiteChecked(0, 0); }, isWhite, 0);
    ExpectQnc([&] { im.getPixelChecked(0, 0, r, g, b); }, getPixel, 0);
    ExpectQnc([&] { im.setPixel(0, 0, 1, 2, 3); }, setPixel, 0);
    ExpectQnc([&] { im.setPixelChecked(0, 0, 1, 2, 3); }, setPixel, 0);
    ExpectQnc([&] { (void)im.isWhiteAt(); }, isWhite, 0);
    ExpectQnc([&] { im.getPixelAt(); }, getPixel, 0);
    ExpectQnc([&] { (void)im.isWhiteAtChecked(); }, isWhite, 0);
    ExpectQnc([&] { im.getPixelAtChecked(); }, getPixel, 0);
    ExpectQnc([&] { im.setPixelAt(); }, setPixel, 0);
    ExpectQnc([&] { im.setPixelAtChecked(); }, setPixel, 0);
    im.setRotatedView(true);
    ExpectQnc([&] { (void)im.isWhite(0, 0); }, isWhite, 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, PixelImageBadDepth, ::testing::Values(4, 16, 32));

// --- bitmaps the object creates, copies and hands over ---

class PixelImageCreate : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PixelImageCreate, OwnsAWhiteLibraryBitmap) {
    const int bits = std::get<0>(GetParam());
    const int width = std::get<1>(GetParam());
    int handle = -1;
    {
        PixelImage im(width, 7, bits, true);
        handle = im.handle();
        ASSERT_GE(handle, 0);
        BITMAPINFOHEADER* raw = ImageWrapper::get_raw_dib(handle);
        EXPECT_EQ(im.header(), raw);
        EXPECT_EQ(raw->biCompression, 0u);
        EXPECT_EQ(im.width(), width);
        EXPECT_EQ(im.height(), 7);
        EXPECT_EQ(im.bitCount(), bits);
        EXPECT_EQ(static_cast<std::size_t>(im.stride()), image_test::RefStride(width, bits));
        EXPECT_EQ(im.bits(), dib::Bits(raw));
        const std::size_t size = static_cast<std::size_t>(im.stride()) * 7;
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(im.bits()[i], 0xFF) << i;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < width; ++x) ASSERT_TRUE(im.isWhite(x, y));
        im.setPixel(width - 1, 6, 0);
        EXPECT_FALSE(im.isWhite(width - 1, 6));
    }
    EXPECT_FALSE(image_test::Alive(handle));
}

INSTANTIATE_TEST_SUITE_P(DepthsAndWidths, PixelImageCreate,
                         ::testing::Combine(::testing::Values(1, 8, 24), ::testing::Values(8, 13, 33)));

TEST(PixelImageCreateRefusals, TooSmallOrUnsupported) {
    ExpectQnc([] { PixelImage im(7, 10, 8, true); }, "Image too small", 2165);
    ExpectQnc([] { PixelImage im(10, 0, 8, true); }, "Image too small", 2165);
    ExpectQnc([] { PixelImage im(10, -3, 8, true); }, "Image too small", 2165);
    ExpectQnc([] { PixelImage im(65536, 10, 8, true); }, "Invalid image", 2160);
    ExpectCzr([] { PixelImage im(10, 10, 4, true); }, 2157);
}

TEST(PixelImageCopy, IsAnIndependentBitmapWithDefaults) {
    DibBuffer dib(13, 5, 24);
    image_test::FillPattern(dib);
    PixelImage source(dib.header());
    source.setWhiteThreshold(10);
    source.setRotatedView(true);
    source.setName("page");
    PixelImage copy(source);
    ASSERT_GE(copy.handle(), 0);
    EXPECT_NE(copy.header(), source.header());
    EXPECT_EQ(copy.whiteThreshold(), 384);
    EXPECT_FALSE(copy.rotatedView());
    EXPECT_TRUE(copy.name().empty());
    EXPECT_EQ(copy.xResolution(), 11811);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(Read(copy, x, y), Pattern(24, x, y));
    copy.setPixel(0, 0, 1, 2, 3);
    EXPECT_EQ(dib.get(0, 0), Pattern(24, 0, 0));
}

TEST(PixelImageHandle, ReleasedHandleOutlivesTheObject) {
    int handle = -1;
    {
        PixelImage im(16, 4, 1, true);
        handle = im.makeHandle();
        EXPECT_EQ(im.handle(), -1);
    }
    ASSERT_TRUE(image_test::Alive(handle));
    ImageWrapper::delete_bitmap(handle);
}

TEST(PixelImageHandle, WrappedDibGetsANewBitmapHoldingItsPixels) {
    DibBuffer dib(9, 3, 8);
    image_test::FillPattern(dib);
    // A grey ramp as colour table, as the library's own 8-bit pages carry (a
    // caller's other table would be applied when the library imports the DIB).
    auto* table = reinterpret_cast<RGBQUAD*>(dib.bytes() + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<BYTE>(i);
        table[i] = RGBQUAD{v, v, v, 0};
    }
    PixelImage im(dib.header());
    EXPECT_EQ(im.releaseHandle(), -1);
    const int handle = im.makeHandle();
    ASSERT_GE(handle, 0);
    {
        PixelImage view(ImageWrapper::get_raw_dib(handle));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) ASSERT_EQ(Read(view, x, y), Pattern(8, x, y));
    }
    ImageWrapper::delete_bitmap(handle);
}

TEST(PixelImageMove, TakesOwnershipAndLeavesAnEmptyObject) {
    PixelImage first(16, 4, 8, true);
    const int handle = first.handle();
    {
        PixelImage second(std::move(first));
        EXPECT_EQ(second.handle(), handle);
        EXPECT_TRUE(second.isWhite(15, 3));
        EXPECT_EQ(first.handle(), -1);  // NOLINT(bugprone-use-after-move)
        ExpectQnc([&] { (void)first.isWhite(0, 0); }, "isWhite(): Invalid function", 0);
    }
    EXPECT_FALSE(image_test::Alive(handle));
}

}  // namespace
