// Invert on whole pages and zones: pixels checked against the expected negative.
#include "processes/geometry/CZRInvert.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <random>

namespace {

unsigned Complement(unsigned value, int bits) {
    return bits == 1 ? value ^ 1u : bits == 8 ? 255u - value : value ^ 0xFFFFFFu;
}

class InvertTest : public ProcessFixture<CZRInvert, ::testing::TestWithParam<int>> {
protected:
    void SetUp() override {
        ProcessFixture::SetUp();
        document_ = MakeDocument(kWidth, kHeight, GetParam());
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(Handle());
        std::mt19937 random(11);
        BYTE* bits = dib::Bits(dib);
        for (std::size_t i = 0; i < dib::Stride(kWidth, dib->biBitCount) * kHeight; ++i)
            bits[i] = static_cast<BYTE>(random());
        original_ = ImageWrapper::create_handle_from_dib(dib);
    }
    void TearDown() override { ImageWrapper::delete_bitmap(original_); }
    int Handle() { return document_->Pages()[0]->Image()->Handle(); }
    void AddZone(LONG left, LONG top, LONG width, LONG height) {
        CComPtr<ZRZoneManager> zones;
        ASSERT_EQ(process_->GetZoneManager(&zones), S_OK);
        CComPtr<IZRZone> zone;
        ASSERT_EQ(zones->CreateZone(&zone), S_OK);
        zone->SetRect(ZONE_UNITS_PIXELS, left, top, width, height);
    }
    HRESULT Run() {
        VARIANT_BOOL result = VARIANT_FALSE;
        const HRESULT hr = process_->Process(document_->Pages()[0], &result);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(result, VARIANT_TRUE);
        }
        return hr;
    }
    // Every pixel inside [x0, x1) x [y0, y1) complemented, every other pixel kept.
    void ExpectInvertedOnly(int x0, int y0, int x1, int y1) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
                const unsigned before = PixelAt(original_, x, y);
                ASSERT_EQ(PixelAt(Handle(), x, y), inside ? Complement(before, GetParam()) : before) << x << "," << y;
            }
    }
    static constexpr int kWidth = 45;
    static constexpr int kHeight = 23;
    CComPtr<CZRDocument> document_;
    int original_ = -1;
};

TEST_P(InvertTest, WholePageTwiceRestoresEveryPixel) {
    ASSERT_EQ(Run(), S_OK);
    ExpectInvertedOnly(0, 0, kWidth, kHeight);
    ASSERT_EQ(Run(), S_OK);
    ExpectInvertedOnly(0, 0, 0, 0);
}

TEST_P(InvertTest, WholePageZoneKeepsLastRowAndColumn) {
    AddZone(0, 0, kWidth, kHeight);
    ASSERT_EQ(Run(), S_OK);
    ExpectInvertedOnly(0, 0, kWidth - 1, kHeight - 1);
}

TEST_P(InvertTest, NegativeOriginIsClipped) {
    AddZone(-5, -3, 15, 10);
    ASSERT_EQ(Run(), S_OK);
    ExpectInvertedOnly(0, 0, 10, 7);
}

TEST_P(InvertTest, EmptyOrOutsideZonesChangeNothing) {
    AddZone(3, 3, 0, 5);
    AddZone(3, 3, 5, -1);
    AddZone(kWidth, 2, 5, 5);
    AddZone(2, kHeight + 4, 5, 5);
    ASSERT_EQ(Run(), S_OK);
    ExpectInvertedOnly(0, 0, 0, 0);
}

TEST_P(InvertTest, OverlappingZonesRestoreTheirCommonPart) {
    AddZone(0, 0, 20, 10);
    AddZone(10, 0, 20, 10);
    ASSERT_EQ(Run(), S_OK);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool once = x < 10 || x >= 20;
            const unsigned before = PixelAt(original_, x, y);
            ASSERT_EQ(PixelAt(Handle(), x, y), once ? Complement(before, GetParam()) : before);
        }
}

INSTANTIATE_TEST_SUITE_P(Depths, InvertTest, ::testing::Values(1, 8, 24));

TEST(InvertEdgeTest, PageWithoutImageAnswersFalse) {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<CZRInvert>* object = nullptr;
    ASSERT_EQ(CComObject<CZRInvert>::CreateInstance(&object), S_OK);
    CComPtr<CComObject<CZRInvert>> invert(object);
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(-1);
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(invert->Process(document->Pages()[0], &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

TEST(InvertEdgeTest, ZoneRunOnNarrowPageFailsAsTooSmallAndKeepsPage) {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<CZRInvert>* object = nullptr;
    ASSERT_EQ(CComObject<CZRInvert>::CreateInstance(&object), S_OK);
    CComPtr<CComObject<CZRInvert>> invert(object);
    CComPtr<ZRZoneManager> zones;
    invert->GetZoneManager(&zones);
    CComPtr<IZRZone> zone;
    zones->CreateZone(&zone);
    zone->SetRect(ZONE_UNITS_PIXELS, 0, 0, 3, 3);
    CComPtr<CZRDocument> document = MakeDocument(7, 5, 8);
    VARIANT_BOOL result;
    EXPECT_EQ(invert->Process(document->Pages()[0], &result), static_cast<HRESULT>(0x80040875u));
    EXPECT_EQ(PeekErrorDescription(), "Invalid image dimensions");
    // The page's bitmap survived the failure.
    BITMAPINFOHEADER header{};
    EXPECT_GE(ImageWrapper::bitmap_info(document->Pages()[0]->Image()->Handle(), &header), 0);
}

}  // namespace
