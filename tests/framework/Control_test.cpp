// Control classes (a toolbox bitmap in their descriptor) answer the in-place
// control interfaces and draw their face; other processes refuse them. Every
// process names its event interface through IProvideClassInfo2.
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/lines/CZRDeskew.h"
#include "tests/support/ProcessFixture.h"

#include <gtest/gtest.h>

namespace {

class ControlTest : public ProcessFixture<CZRDeskew> {};

TEST_F(ControlTest, DeskewAnswersEveryControlInterface) {
    for (const IID* iid :
         {&IID_IOleControl, &IID_IOleObject, &IID_IOleInPlaceObjectWindowless, &IID_IOleInPlaceActiveObject,
          &IID_IViewObjectEx, &IID_IPersistStreamInit, &IID_IPersistStorage, &IID_IQuickActivate, &IID_IDataObject,
          &IID_ISpecifyPropertyPages, &IID_IProvideClassInfo2}) {
        CComPtr<IUnknown> answer;
        EXPECT_EQ(process_->QueryInterface(*iid, reinterpret_cast<void**>(&answer)), S_OK) << GuidToString(*iid);
        EXPECT_TRUE(answer);
    }
}

TEST_F(ControlTest, ReportsItsClassAndRegisteredMiscStatus) {
    CComPtr<IOleObject> object;
    ASSERT_EQ(process_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)), S_OK);
    CLSID clsid{};
    ASSERT_EQ(object->GetUserClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_ZRDeskew);
    DWORD status = 0;
    ASSERT_EQ(object->GetMiscStatus(1, &status), S_OK);
    EXPECT_EQ(status, 131473u);
    SIZEL size{500, 300};
    ASSERT_EQ(object->SetExtent(1, &size), S_OK);
    SIZEL back{};
    ASSERT_EQ(object->GetExtent(1, &back), S_OK);
    EXPECT_EQ(back.cx, 500);
    EXPECT_EQ(back.cy, 300);
}

TEST_F(ControlTest, DrawOutlinesTheRectangleAndWritesItsNameInsideOnly) {
    CComPtr<IViewObjectEx> view;
    ASSERT_EQ(process_->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)), S_OK);
    for (int bits : {1, 8, 24}) {
        const int handle = ImageWrapper::create_handle_from_scratch(400, 120, bits);
        DrawingContext dc{handle};
        const RECTL bounds{20, 10, 380, 110};
        ASSERT_EQ(view->Draw(1, -1, nullptr, nullptr, nullptr, &dc, &bounds, nullptr, nullptr, 0), S_OK);
        const unsigned white = bits == 1 ? 1u : bits == 8 ? 255u : 0xFFFFFFu;
        EXPECT_NE(PixelAt(handle, 20, 10), white) << bits;  // corner of the outline
        EXPECT_NE(PixelAt(handle, 379, 109), white) << bits;
        EXPECT_EQ(PixelAt(handle, 19, 60), white) << bits;  // just outside
        EXPECT_EQ(PixelAt(handle, 200, 5), white) << bits;
        int inked = 0;  // the text: black pixels well inside the outline
        for (int y = 30; y < 90; ++y)
            for (int x = 40; x < 360; ++x) inked += PixelAt(handle, x, y) != white;
        EXPECT_GT(inked, 100) << bits;
        EXPECT_EQ(ImageWrapper::get_raw_dib(handle)->biBitCount, bits);
        ImageWrapper::delete_bitmap(handle);
    }
    EXPECT_EQ((ControlImpl<CZRDeskew>::FaceText()), "ATL 7.0 : ZRDeskew");
}

TEST_F(ControlTest, DrawRefusesMissingSurfaceAndOtherAspects) {
    CComPtr<IViewObjectEx> view;
    ASSERT_EQ(process_->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&view)), S_OK);
    const RECTL bounds{0, 0, 10, 10};
    EXPECT_EQ(view->Draw(1, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0), E_INVALIDARG);
    DrawingContext dc{-1};
    EXPECT_EQ(view->Draw(1, -1, nullptr, nullptr, nullptr, &dc, &bounds, nullptr, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(view->Draw(4, -1, nullptr, nullptr, nullptr, &dc, &bounds, nullptr, nullptr, 0), DV_E_DVASPECT);
}

TEST(NonControl, DespeckleRefusesControlInterfacesButNamesItsEvents) {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<CZRDespeckle>* object = nullptr;
    ASSERT_EQ(CComObject<CZRDespeckle>::CreateInstance(&object), S_OK);
    CComPtr<CComObject<CZRDespeckle>> despeckle(object);
    CComPtr<IUnknown> answer;
    EXPECT_EQ(despeckle->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&answer)), E_NOINTERFACE);
    EXPECT_EQ(despeckle->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&answer)), E_NOINTERFACE);
    CComPtr<IProvideClassInfo2> info;
    ASSERT_EQ(despeckle->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)), S_OK);
    GUID events{};
    ASSERT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
    EXPECT_EQ(events, IID_IZRProcessExEvents);
}

}  // namespace
