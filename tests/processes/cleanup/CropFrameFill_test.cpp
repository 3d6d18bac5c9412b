// The frame fill (BORDERFILL 1) on pages drawn with a known frame and known
// text: ragged and pinholed frames, a frame on one side, a thin strip along
// an edge, text touching or near the frame or clipped by the page edge, a
// blot hanging on the frame, all-black and blank pages, 1, 8 and 24 bits.
#include "processes/cleanup/CropFrameFill.h"
#include "processes/cleanup/CCropImage.h"
#include "tests/processes/cleanup/BitGrid.h"

#include "image/PixelImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using cleanup_test::Grid;
using cleanup_test::LibraryPage;

constexpr int kWidth = 600, kHeight = 800;

enum Side { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8, kAll = 15 };
enum Extra { kNone, kTextTouching, kTextNear, kClippedGlyph, kBlotOnAStroke, kEdgeStrip };

struct FrameCase {
    const char* name;
    int sides;
    int thickness;  // inner edge, before the wave and the jitter
    int wave;       // amplitude of a slow wave along each side
    int jitter;     // per-line raggedness of the inner edge
    double holes;   // share of frame pixels left white
    Extra extra;
};

// A page with its ground truth: 0 marks black frame pixels in `frame`, black
// text pixels in `text`; `touching` marks the text drawn onto the frame.
struct FramedPage {
    Grid page{kWidth, kHeight}, frame{kWidth, kHeight}, text{kWidth, kHeight}, touching{kWidth, kHeight};
    int leftEdgeMax = 0;  // the left frame's widest row
};

// An "E": a 4 x 28 stem and three 18 x 4 bars.
void DrawGlyph(Grid& grid, int x, int y) {
    grid.fillRect(x, y, 4, 28, 0);
    for (int bar : {0, 12, 24}) grid.fillRect(x, y + bar, 18, 4, 0);
}

FramedPage Build(const FrameCase& c) {
    FramedPage p;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(-c.jitter, c.jitter);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto depth = [&](int side, int along) {
        if (!(c.sides & side)) return 0;
        return c.thickness + static_cast<int>(std::lround(c.wave * std::sin(along / 70.0 + side))) + jitter(random);
    };
    std::vector<int> left(kHeight), right(kHeight), top(kWidth), bottom(kWidth);
    for (int y = 0; y < kHeight; ++y) left[y] = depth(kLeft, y), right[y] = depth(kRight, y);
    for (int x = 0; x < kWidth; ++x) top[x] = depth(kTop, x), bottom[x] = depth(kBottom, x);
    if (c.extra == kEdgeStrip) std::fill(bottom.begin(), bottom.end(), 3);
    p.leftEdgeMax = *std::max_element(left.begin(), left.end());
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (x < left[y] || x >= kWidth - right[y] || y < top[x] || y >= kHeight - bottom[x])
                p.frame.at(x, y) = unit(random) < c.holes ? 1 : 0;
    for (int y = 150; y <= kHeight - 180; y += 60)
        for (int x = 150; x <= kWidth - 170; x += 40) DrawGlyph(p.text, x, y);
    switch (c.extra) {
        case kTextTouching:  // stems 2 pixels into the frame's widest row
            for (int y = 120; y < kHeight - 150; y += 120) DrawGlyph(p.touching, p.leftEdgeMax - 2, y);
            break;
        case kTextNear:  // 3 pixels clear of the frame
            for (int y = 120; y < kHeight - 150; y += 120) DrawGlyph(p.text, p.leftEdgeMax + 3, y);
            break;
        case kClippedGlyph:  // no frame on that side: glyphs cut by the page edge
            DrawGlyph(p.text, 0, 300);
            p.text.fillRect(kWidth - 4, 420, 4, 28, 0);
            break;
        case kBlotOnAStroke:  // a bold blot joined to the frame by a 3-pixel stroke
            p.touching.fillRect(p.leftEdgeMax - 2, 500, 204 - p.leftEdgeMax, 3, 0);
            p.text.fillRect(200, 480, 50, 50, 0);
            break;
        default:
            break;
    }
    for (std::size_t i = 0; i < p.page.pixels.size(); ++i)
        p.page.pixels[i] = p.frame.pixels[i] && p.text.pixels[i] && p.touching.pixels[i];
    return p;
}

struct Outcome {
    long long frameLeft = 0, textLost = 0, touchingKept = 0, touchingTotal = 0, farTouchingLost = 0;
};

Outcome Score(const FramedPage& p, const Grid& out) {
    Outcome o;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool black = out.at(x, y) == 0;
            if (!p.frame.at(x, y) && p.text.at(x, y) && p.touching.at(x, y)) o.frameLeft += black;
            if (!p.text.at(x, y)) o.textLost += !black;
            if (!p.touching.at(x, y) && p.frame.at(x, y)) {
                ++o.touchingTotal;
                o.touchingKept += black;
                // Beyond the rim the fill may take, a touching glyph is whole.
                if (x >= p.leftEdgeMax + 6) o.farTouchingLost += !black;
            }
        }
    return o;
}

int FillOnly(const LibraryPage& page) {
    CCropImage crop(nullptr, nullptr);
    crop.attach(page.handle(), false);
    crop.setModes(0, 0, 1);
    crop.setBorderFill(CCropImage::kFillFrame);
    const int result = crop.run();
    crop.detach();
    return result;
}

class CropFrameFillTest : public ::testing::TestWithParam<FrameCase> {};

// The whole frame turns white and every text pixel stays black (a glyph that
// touches the frame may lose only the pixels next to it).
TEST_P(CropFrameFillTest, WhitensTheFrameAndKeepsTheText) {
    const FrameCase& c = GetParam();
    const FramedPage p = Build(c);
    LibraryPage page(p.page);
    ImageWrapper::set_resolution(page.handle(), 300, 300);
    ASSERT_EQ(FillOnly(page), CCropImage::kDone);
    const Outcome o = Score(p, page.read());
    EXPECT_EQ(o.frameLeft, 0);
    EXPECT_EQ(o.textLost, 0);
    EXPECT_EQ(o.farTouchingLost, 0);
    EXPECT_GE(o.touchingKept * 100, o.touchingTotal * 55);
}

INSTANTIATE_TEST_SUITE_P(Frames, CropFrameFillTest,
                         ::testing::Values(FrameCase{"EvenFrame", kAll, 40, 0, 0, 0.0, kNone},
                                           FrameCase{"RaggedFrame", kAll, 40, 10, 3, 0.0, kNone},
                                           FrameCase{"FrameWithWhiteHoles", kAll, 40, 10, 3, 0.05, kNone},
                                           FrameCase{"LeftSideOnly", kLeft, 45, 12, 3, 0.02, kNone},
                                           FrameCase{"TextTouchingTheFrame", kLeft | kTop, 40, 0, 2, 0.0,
                                                     kTextTouching},
                                           FrameCase{"TextNearTheFrame", kLeft, 40, 0, 0, 0.0, kTextNear},
                                           FrameCase{"GlyphsClippedByThePageEdge", kTop, 30, 5, 2, 0.0, kClippedGlyph},
                                           FrameCase{"BlotHangingOnTheFrame", kLeft, 40, 5, 2, 0.0, kBlotOnAStroke},
                                           FrameCase{"ThinStripAlongAnEdge", kLeft, 35, 5, 2, 0.0, kEdgeStrip},
                                           FrameCase{"NoFrame", 0, 0, 0, 0, 0.0, kNone}),
                         [](const auto& info) { return std::string(info.param.name); });

// Grey and colour pages: frame pixels take the paper's tone, text keeps its own.
TEST(CropFrameFillDepthTest, GreyAndColourFramesTakeThePaperTone) {
    const FramedPage p = Build({"", kAll, 40, 10, 3, 0.03, kTextNear});
    for (int bits : {8, 24}) {
        LibraryPage page(kWidth, kHeight, bits);
        ImageWrapper::set_resolution(page.handle(), 300, 300);
        PixelImage pixels(page.dib());
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool frame = !p.frame.at(x, y), text = !p.text.at(x, y);
                if (bits == 8) pixels.setPixel(x, y, frame ? 35 : text ? 20 : 214);
                if (bits == 24 && (frame || text)) pixels.setPixel(x, y, frame ? 0x20 : 0x10);
                if (bits == 24 && !frame && !text) pixels.setPixel(x, y, 0xE8, 0xF5, 0xFA);
            }
        EXPECT_GT(CropFrameFill::Whiten(page.handle()), 0) << bits;
        long long frameWrong = 0, textWrong = 0;
        const PixelImage result(page.dib());
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::uint8_t r = 0, g = 0, b = 0;
                result.getPixel(x, y, r, g, b);
                const bool paper = bits == 8 ? r == 214 : (r == 0xE8 && g == 0xF5 && b == 0xFA);
                if (!p.frame.at(x, y)) frameWrong += !paper;
                if (!p.text.at(x, y)) textWrong += r != (bits == 8 ? 20 : 0x10);
            }
        EXPECT_EQ(frameWrong, 0) << bits;
        EXPECT_EQ(textWrong, 0) << bits;
    }
}

// With the cut: an all-black page ends as the documented white 100 x 100, a
// blank page is left as it is, and a framed page is cut and clean.
TEST(CropFrameFillCutTest, CropBlackWithFillCutsAndWhitens) {
    auto run = [](const LibraryPage& page) {
        CCropImage crop(nullptr, nullptr);
        crop.attach(page.handle(), true);
        crop.setModes(1, 0, 0);
        crop.setSensitivity(5);
        crop.setBorderFill(CCropImage::kFillFrame);
        EXPECT_EQ(crop.run(), CCropImage::kDone);
        crop.detach();
    };
    LibraryPage black(Grid(300, 260, 0));
    run(black);
    EXPECT_EQ(black.read(), Grid(100, 100));
    LibraryPage blank(Grid(300, 260));
    run(blank);
    EXPECT_EQ(blank.read(), Grid(300, 260));

    const FramedPage p = Build({"", kAll, 40, 10, 3, 0.03, kNone});
    LibraryPage framed(p.page);
    ImageWrapper::set_resolution(framed.handle(), 300, 300);
    run(framed);
    const Grid out = framed.read();
    EXPECT_LT(out.width, kWidth);
    EXPECT_EQ(out.blackCount(), p.text.blackCount());
}

// Pages down to one pixel a side, at every depth: no stray access, the size
// stays, and a page under 16 pixels is left alone when it is grey.
TEST(CropFrameFillDepthTest, TinyPagesStayInBounds) {
    for (int bits : {1, 8, 24})
        for (int w : {1, 2, 7, 16, 33})
            for (int h : {1, 3, 16, 41}) {
                LibraryPage page(w, h, bits);
                if (bits == 1) page.write(cleanup_test::RandomGrid(w, h, 0.6, static_cast<unsigned>(w * h)));
                EXPECT_GE(CropFrameFill::Whiten(page.handle()), 0);
                EXPECT_EQ(page.width(), w);
                EXPECT_EQ(page.height(), h);
            }
    EXPECT_EQ(CropFrameFill::Whiten(-1), 0);
}

TEST(CropFrameFillSizesTest, SizesFollowTheResolutionOrThePageSize) {
    const auto at300 = CropFrameFill::SizesFor(300, 2480, 3508);
    EXPECT_EQ(at300.core, 15);
    EXPECT_EQ(at300.reach, 5);
    EXPECT_EQ(at300.strip, 60);
    EXPECT_EQ(CropFrameFill::SizesFor(150, 1240, 1754).core, 8);
    EXPECT_EQ(CropFrameFill::SizesFor(0, 1240, 1754).core, CropFrameFill::SizesFor(149, 0, 0).core);
    EXPECT_EQ(CropFrameFill::SizesFor(0, 40, 30).core, 5);
}

}  // namespace
