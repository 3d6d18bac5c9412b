// The resize holder: the size and resolution it plans for each mode, every
// refusal with its message id, and real rescales of bitmaps through the
// image library (sizes, resolution, depth kept, pixels where they belong).
#include "processes/geometry/CResizeImage.h"
#include "tests/support/TestHost.h"

#include "framework/CZRException.h"
#include "resources/MessageIds.h"

#include <gtest/gtest.h>

namespace {

struct Settings {
    int quality, width, height, mode, resolution, percent;
};

// The message id a plan raises, 0 when it raises nothing.
UINT PlanFailure(const Settings& s, int w, int h, int x, int y, CResizeImage::Plan* out = nullptr) {
    CResizeImage holder;
    holder.setSettings(s.quality, s.width, s.height, s.mode, s.resolution, s.percent);
    try {
        CResizeImage::Plan plan = holder.plan(w, h, x, y);
        if (out) *out = plan;
        return 0;
    } catch (const CZRException& e) {
        return static_cast<UINT>(e.Error() & 0xFFFF);
    }
}

struct PlanCase {
    const char* name;
    Settings settings;
    int pageWidth, pageHeight, xDpi, yDpi;
    bool nothingToDo;
    int width, height, xOut, yOut;
    ResizeQuality quality;
};

class ResizePlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(ResizePlanTest, GivesSizeResolutionAndQuality) {
    const PlanCase& c = GetParam();
    CResizeImage::Plan plan;
    ASSERT_EQ(PlanFailure(c.settings, c.pageWidth, c.pageHeight, c.xDpi, c.yDpi, &plan), 0u);
    EXPECT_EQ(plan.nothingToDo, c.nothingToDo);
    if (c.nothingToDo) return;
    EXPECT_EQ(plan.width, c.width);
    EXPECT_EQ(plan.height, c.height);
    EXPECT_EQ(plan.xResolution, c.xOut);
    EXPECT_EQ(plan.yResolution, c.yOut);
    EXPECT_EQ(plan.quality, c.quality);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ResizePlanTest,
    ::testing::Values(PlanCase{"FixedSize",
                               {2, 640, 480, 0, -1, 100},
                               800,
                               600,
                               300,
                               300,
                               false,
                               640,
                               480,
                               300,
                               300,
                               RESIZE_QUALITY_NORMAL},
                      PlanCase{"FixedSizeEqualToPage", {2, 800, 600, 0, -1, 100}, 800, 600, 300, 300, true},
                      PlanCase{"FixedSizeZeroByZero", {2, 0, 0, 0, -1, 100}, 800, 600, 300, 300, true},
                      PlanCase{"PercentHundred", {2, -1, -1, 1, -1, 100}, 800, 600, 300, 300, true},
                      PlanCase{"PercentHalfTruncates",
                               {1, -1, -1, 1, -1, 50},
                               801,
                               599,
                               300,
                               200,
                               false,
                               400,
                               299,
                               300,
                               200,
                               RESIZE_QUALITY_BEST},
                      PlanCase{"PercentShrinkingToNothing", {2, -1, -1, 1, -1, 1}, 50, 50, 300, 300, true},
                      PlanCase{"ResolutionQuadruples",
                               {3, -1, -1, 2, 1200, 100},
                               2480,
                               3508,
                               300,
                               300,
                               false,
                               9920,
                               14032,
                               1200,
                               1200,
                               RESIZE_QUALITY_FAST},
                      // Both sides follow the horizontal ratio; the vertical resolution is set too.
                      PlanCase{"ResolutionUsesHorizontalRatio",
                               {2, -1, -1, 2, 100, 100},
                               400,
                               400,
                               200,
                               100,
                               false,
                               200,
                               200,
                               100,
                               100,
                               RESIZE_QUALITY_NORMAL},
                      PlanCase{"ResolutionSameAsPage", {2, -1, -1, 2, 300, 100}, 100, 100, 300, 300, true},
                      // Same size, only the vertical resolution differs: still a change.
                      PlanCase{"ResolutionOnlyVerticalDiffers",
                               {2, -1, -1, 2, 300, 100},
                               100,
                               100,
                               300,
                               150,
                               false,
                               100,
                               100,
                               300,
                               300,
                               RESIZE_QUALITY_NORMAL},
                      PlanCase{"QualityFourWithNothingToDo", {4, -1, -1, 1, -1, 100}, 800, 600, 300, 300, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
    const char* name;
    Settings settings;
    int pageWidth, pageHeight, xDpi;
    UINT id;
};

class ResizeRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ResizeRefusalTest, RaisesItsMessage) {
    const RefusalCase& c = GetParam();
    EXPECT_EQ(PlanFailure(c.settings, c.pageWidth, c.pageHeight, c.xDpi, c.xDpi), c.id);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ResizeRefusalTest,
    ::testing::Values(
        RefusalCase{"NewProcessDefaults", {2, -1, -1, 0, -1, 100}, 800, 600, 300, IDS_INVALID_DIMENSIONS},
        RefusalCase{"WidthZeroHeightPositive", {2, 0, 100, 0, -1, 100}, 800, 600, 300, IDS_INVALID_DIMENSIONS},
        RefusalCase{"NegativeWidth", {2, -5, 100, 0, -1, 100}, 800, 600, 300, IDS_INVALID_DIMENSIONS},
        RefusalCase{"NegativeBoth", {2, -5, -7, 0, -1, 100}, 800, 600, 300, IDS_INVALID_DIMENSIONS},
        RefusalCase{"ModeThreeReadsNoSize", {2, -1, -1, 3, -1, 100}, 800, 600, 300, IDS_INVALID_DIMENSIONS},
        RefusalCase{"PercentZero", {2, -1, -1, 1, -1, 0}, 800, 600, 300, IDS_INVALID_PERCENTAGE},
        RefusalCase{"PercentNegative", {2, -1, -1, 1, -1, -20}, 800, 600, 300, IDS_INVALID_PERCENTAGE},
        RefusalCase{"PercentAboveThousandFold", {2, -1, -1, 1, -1, 100001}, 8, 6, 300, IDS_INVALID_PERCENTAGE},
        RefusalCase{"ResolutionZero", {2, -1, -1, 2, 0, 100}, 800, 600, 300, IDS_INVALID_DPI},
        RefusalCase{"ResolutionNegative", {2, -1, -1, 2, -300, 100}, 800, 600, 300, IDS_INVALID_DPI},
        RefusalCase{"Resolution1201", {2, -1, -1, 2, 1201, 100}, 800, 600, 300, IDS_INVALID_DPI},
        RefusalCase{"PageWithoutResolution", {2, -1, -1, 2, 300, 100}, 800, 600, 0, IDS_INVALID_DIMENSIONS},
        RefusalCase{"PageWithNegativeResolution", {2, -1, -1, 2, 300, 100}, 800, 600, -72, IDS_INVALID_DIMENSIONS},
        RefusalCase{"QualityFourWithAChange", {4, -1, -1, 1, -1, 50}, 800, 600, 300, IDS_INVALID_QUALITY},
        RefusalCase{"QualityZeroWithAChange", {0, 10, 10, 0, -1, 100}, 800, 600, 300, IDS_INVALID_QUALITY},
        RefusalCase{"QualityNegativeWithAChange", {-1, 10, 10, 0, -1, 100}, 800, 600, 300, IDS_INVALID_QUALITY}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResizeQualityTest, MapsUserQualityToLibraryQuality) {
    EXPECT_EQ(CResizeImage::MapQuality(1), RESIZE_QUALITY_BEST);
    EXPECT_EQ(CResizeImage::MapQuality(2), RESIZE_QUALITY_NORMAL);
    EXPECT_EQ(CResizeImage::MapQuality(3), RESIZE_QUALITY_FAST);
    for (int bad : {0, 4, -1, 32767}) EXPECT_THROW(CResizeImage::MapQuality(bad), CZRException);
}

// A page of the given size and depth at `dpi` with a black square in its
// top-left quarter.
int MakePage(int width, int height, int bits, int dpi) {
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bits);
    ImageWrapper::set_resolution(handle, dpi, dpi);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(width, static_cast<WORD>(bits));
    for (int y = 0; y < height / 2; ++y) {
        BYTE* row = dib::Bits(dib) + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width / 2; ++x) {
            if (bits == 1)
                row[x / 8] = static_cast<BYTE>(row[x / 8] & ~(0x80 >> (x % 8)));
            else
                for (int b = 0; b < bits / 8; ++b) row[x * (bits / 8) + b] = 0;
        }
    }
    return handle;
}

bool IsBlack(int handle, int x, int y) { return PixelAt(handle, x, y) == 0; }

class ResizeApplyTest : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override {
        holder_.detach();
        ImageWrapper::delete_bitmap(page_);
    }
    void Attach(int width, int height, int dpi) {
        page_ = MakePage(width, height, GetParam(), dpi);
        holder_.attach(page_, false);
    }
    BITMAPINFOHEADER Info() {
        BITMAPINFOHEADER h{};
        ImageWrapper::bitmap_info(page_, &h);
        return h;
    }
    int page_ = -1;
    CResizeImage holder_;
};

TEST_P(ResizeApplyTest, Resolution1200QuadruplesBothSidesAndSetsResolution) {
    Attach(60, 40, 300);
    holder_.setSettings(2, -1, -1, 2, 1200, 100);
    holder_.apply();
    const BITMAPINFOHEADER h = Info();
    EXPECT_EQ(h.biWidth, 240);
    EXPECT_EQ(h.biHeight, 160);
    EXPECT_EQ(h.biXPelsPerMeter, 1200);
    EXPECT_EQ(h.biYPelsPerMeter, 1200);
    EXPECT_EQ(h.biBitCount, GetParam());
    EXPECT_EQ(holder_.width(), 240);
    EXPECT_EQ(holder_.height(), 160);
    EXPECT_EQ(holder_.xResolution(), 1200);
    // The black quarter is still the top-left quarter, well inside its edges.
    EXPECT_TRUE(IsBlack(page_, 10, 10));
    EXPECT_TRUE(IsBlack(page_, 100, 60));
    EXPECT_FALSE(IsBlack(page_, 140, 10));
    EXPECT_FALSE(IsBlack(page_, 10, 100));
    EXPECT_FALSE(IsBlack(page_, 200, 140));
}

TEST_P(ResizeApplyTest, EveryQualityGivesTheExactSize) {
    for (int quality = 1; quality <= 3; ++quality) {
        Attach(101, 77, 200);
        holder_.setSettings(quality, 37, 150, 0, -1, 100);
        holder_.apply();
        const BITMAPINFOHEADER h = Info();
        EXPECT_EQ(h.biWidth, 37) << quality;
        EXPECT_EQ(h.biHeight, 150) << quality;
        EXPECT_EQ(h.biXPelsPerMeter, 200) << quality;
        EXPECT_TRUE(IsBlack(page_, 5, 10)) << quality;
        EXPECT_FALSE(IsBlack(page_, 30, 140)) << quality;
        holder_.detach();
        ImageWrapper::delete_bitmap(page_);
    }
    page_ = -1;
}

TEST_P(ResizeApplyTest, RefusalLeavesPageAsItWas) {
    Attach(64, 48, 300);
    holder_.setSettings(4, -1, -1, 1, -1, 50);
    EXPECT_THROW(holder_.apply(), CZRException);
    const BITMAPINFOHEADER h = Info();
    EXPECT_EQ(h.biWidth, 64);
    EXPECT_EQ(h.biHeight, 48);
    EXPECT_EQ(h.biXPelsPerMeter, 300);
}

INSTANTIATE_TEST_SUITE_P(Depths, ResizeApplyTest, ::testing::Values(1, 8, 24));

TEST(ResizeHolderTest, WithoutBitmapRaisesUnknownInternalError) {
    CResizeImage holder;
    holder.setSettings(2, 10, 10, 0, -1, 100);
    try {
        holder.apply();
        FAIL() << "no refusal";
    } catch (const CZRException& e) {
        EXPECT_EQ(e.Error(), CZRException::FromMessageId(IDS_UNKNOWN_INTERNAL_ERROR));
    }
}

}  // namespace
