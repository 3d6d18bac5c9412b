// The process frame as a host sees it, on the rotate process: properties,
// the page frame, pixel results and the handler chain.
#include "processes/geometry/CZRRotate.h"
#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace {

class RotateTest : public ProcessFixture<CZRRotate> {
protected:
    void SetAngle(SHORT angle) {
        CComBSTR key(u"RotationAngle");
        CComVariant value(angle);
        ASSERT_EQ(process_->put_Properties(key, value), S_OK);
    }
};

// Fills a bitmap with a reproducible pattern of every depth's values.
void FillPattern(int handle, unsigned seed) {
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    std::mt19937 random(seed);
    const std::size_t stride = dib::Stride(dib->biWidth, dib->biBitCount);
    BYTE* bits = dib::Bits(dib);
    for (std::size_t i = 0; i < stride * static_cast<std::size_t>(dib->biHeight); ++i)
        bits[i] = static_cast<BYTE>(random());
}

class RotateDepthTest : public RotateTest, public ::testing::WithParamInterface<int> {};

TEST_P(RotateDepthTest, QuarterTurnSwapsSidesAndFourTurnsRestoreEveryPixel) {
    const int bits = GetParam();
    CComPtr<CZRDocument> document = MakeDocument(37, 21, bits);
    CZRPage* page = document->Pages()[0];
    FillPattern(page->Image()->Handle(), 7);
    const int before = ImageWrapper::create_handle_from_dib(ImageWrapper::get_raw_dib(page->Image()->Handle()));

    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(process_->Process(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(page->Image()->Handle(), &header);
    EXPECT_EQ(header.biWidth, 21);
    EXPECT_EQ(header.biHeight, 37);
    EXPECT_EQ(header.biBitCount, bits);
    // Clockwise: the old top-left lands at the top-right.
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 20, 0), PixelAt(before, 0, 0));
    EXPECT_EQ(PixelAt(page->Image()->Handle(), 20 - 5, 9), PixelAt(before, 9, 5));

    for (int turn = 0; turn < 3; ++turn) ASSERT_EQ(process_->Process(page, &result), S_OK);
    ImageWrapper::bitmap_info(page->Image()->Handle(), &header);
    ASSERT_EQ(header.biWidth, 37);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(PixelAt(page->Image()->Handle(), x, y), PixelAt(before, x, y)) << x << "," << y;
    ImageWrapper::delete_bitmap(before);
}

INSTANTIATE_TEST_SUITE_P(Depths, RotateDepthTest, ::testing::Values(1, 8, 24));

TEST_F(RotateTest, DeclaresRotationAngleAsShortNinety) {
    CComVariant value;
    CComBSTR key(u"RotationAngle");
    ASSERT_EQ(process_->get_Properties(key, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I2);
    EXPECT_EQ(value.iVal, 90);
    LONG type = 0;
    process_->get_ProcessType(&type);
    EXPECT_EQ(type, 702);
}

TEST_F(RotateTest, ZeroAngleLeavesPageAloneEvenWithoutImage) {
    SetAngle(0);
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 8);
    CZRPage* page = document->Pages()[0];
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(process_->Process(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_FALSE(page->Image()->Modified());
    page->SetImage(nullptr);
    result = VARIANT_FALSE;
    ASSERT_EQ(process_->Process(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
}

TEST_F(RotateTest, PageWithoutImageAnswersFalse) {
    CComPtr<CZRDocument> document = MakeDocument(30, 10, 8);
    CZRPage* page = document->Pages()[0];
    page->SetImage(nullptr);
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(process_->Process(page, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
}

TEST_F(RotateTest, NullArgumentsAreRefused) {
    VARIANT_BOOL result;
    EXPECT_EQ(process_->Process(nullptr, &result), E_INVALIDARG);
    CComPtr<CZRDocument> document = MakeDocument(8, 8, 1);
    EXPECT_EQ(process_->Process(document->Pages()[0], nullptr), E_POINTER);
    EXPECT_EQ(process_->get_Name(nullptr), E_POINTER);
    EXPECT_EQ(process_->SaveProperties(nullptr), E_POINTER);
    EXPECT_EQ(PeekErrorDescription(), "Invalid pointer");
}

// A page whose image call throws a plain C++ exception.
class ThrowingPage : public HostObject<IZRPage> {
public:
    HRESULT GetImage(IZRImage**) override { throw std::runtime_error("host failure"); }
#define NOT_USED(sig) \
    HRESULT sig override { return E_NOTIMPL; }
    NOT_USED(GetFileName(BSTR*))
    NOT_USED(GetPageIndex(LONG*))
    NOT_USED(IsRemoved(VARIANT_BOOL*))
    NOT_USED(SetImage(IZRImage*)) NOT_USED(GetContainer(IZRPageContainer**)) NOT_USED(SetPageNumber(LONG))
        NOT_USED(GetName(BSTR*)) NOT_USED(SetName(BSTR)) NOT_USED(HasImage(VARIANT_BOOL*))
            NOT_USED(GetTextPart(IZRPagePartA**)) NOT_USED(SetTextPart(IZRPagePartA*))
                NOT_USED(GetThumbnailPart(IZRPagePartB**)) NOT_USED(SetThumbnailPart(IZRPagePartB*))
                    NOT_USED(GetMetadataPart(IZRPagePartC**)) NOT_USED(SetMetadataPart(IZRPagePartC*))
                        NOT_USED(GetPageNumber(LONG*)) NOT_USED(GetStatusMessages(IZRStatusMessages**))
#undef NOT_USED
};

TEST_F(RotateTest, UnexpectedExceptionBecomesUnknownErrorWithMethodText) {
    CComPtr<ThrowingPage> page = HostObject<IZRPage>::Create<ThrowingPage>();
    VARIANT_BOOL result;
    EXPECT_EQ(process_->Process(page, &result), static_cast<HRESULT>(0x800407D1u));
    CComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    CComBSTR text;
    info->GetDescription(&text);
    EXPECT_EQ(text.utf8(), "Unknown error in CZRRotate::Process.");
    GUID iid;
    info->GetGUID(&iid);
    EXPECT_EQ(iid, IID_IZRProcessEx);
}

TEST_F(RotateTest, MessageIdExceptionsCarryFacilityInterfaceCodes) {
    EXPECT_EQ(CZRException(2165u).Error(), static_cast<HRESULT>(0x80040875u));
    EXPECT_EQ(CZRException(2165u).MessageUtf8(), "Invalid image dimensions");
    EXPECT_EQ(CZRException::FromMessageId(2001), static_cast<HRESULT>(0x800407D1u));
}

TEST_F(RotateTest, CultureWithNumberIsStoredAsProperty) {
    CComBSTR key(u"culture");
    CComVariant number(LONG{5});
    ASSERT_EQ(process_->put_Properties(key, number), S_OK);
    CComVariant read;
    ASSERT_EQ(process_->get_Properties(key, &read), S_OK);
    EXPECT_EQ(read.vt, VT_I4);
    EXPECT_EQ(read.lVal, 5);
}

TEST_F(RotateTest, PageFilterFollowsRangeAndModeEight) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    for (int i = 0; i < 4; ++i) document->AppendPage(-1);
    CComPtr<ZRPageRange> range;
    ASSERT_EQ(process_->GetPageRange(&range), S_OK);
    CComBSTR text(u"2-3");
    ASSERT_EQ(range->SetRange(text), S_OK);
    EXPECT_FALSE(process_->ShouldProcessPage(document->Pages()[0]));
    EXPECT_TRUE(process_->ShouldProcessPage(document->Pages()[1]));
    EXPECT_FALSE(process_->ShouldProcessPage(nullptr));
    process_->put_Mode(8);
    EXPECT_TRUE(process_->ShouldProcessPage(document->Pages()[0]));
}

TEST_F(RotateTest, HasNoZoneManagerAndSavesWithoutOne) {
    CComPtr<ZRZoneManager> zones;
    EXPECT_EQ(process_->GetZoneManager(&zones), S_OK);
    EXPECT_EQ(zones.get(), nullptr);
}

TEST_F(RotateTest, SupportsErrorInfoOnlyForItsInterface) {
    EXPECT_EQ(process_->InterfaceSupportsErrorInfo(IID_IZRProcessEx), S_OK);
    EXPECT_EQ(process_->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

}  // namespace
