// Crop: reads the properties, attaches the page's bitmap to a CCropImage and
// runs it; an invert-black request on a page that is not black and white is
// reported on the page.
#include "processes/cleanup/CZRCrop.h"

#include "framework/StatusMessage.h"
#include "processes/cleanup/CCropImage.h"
#include "resources/MessageIds.h"

namespace {
constexpr Property<VT_I2> kTop{"TOP", 0, "pixels cut at the top (fixed margins)"};
constexpr Property<VT_I2> kBottom{"BOTTOM", 0, "pixels cut at the bottom (fixed margins)"};
constexpr Property<VT_I2> kLeft{"LEFT", 0, "pixels cut at the left (fixed margins)"};
constexpr Property<VT_I2> kRight{"RIGHT", 0, "pixels cut at the right (fixed margins)"};
constexpr Property<VT_I2> kCropBlack{
    "CROPBLACK", 0, "1: find and cut a black border, then whiten black left at the row ends (1-bit pages)"};
constexpr Property<VT_I2> kInvertBlack{"INVERTBLACK", 0,
                                       "1: only whiten black at the row ends (1-bit pages); overrides the other modes"};
constexpr Property<VT_I2> kCropWhite{"CROPWHITE", 0, "nonzero: find and cut a white border"};
constexpr Property<VT_I2> kBorderSensitivity{
    "BORDERSENSITIVITY", 0,
    "detection: content starts after s+1 lines with a run above s pixels; whitening crosses up to s white pixels"};
constexpr Property<VT_I2> kBorderFill{
    "BORDERFILL", 0,
    "1: instead of the row ends, whiten the black frame joined to the page edge (solid borders, shadows, strips along "
    "the edges, with ragged rims and pinholes; text touching it stays), before the cut; with CROPBLACK 1 also on grey "
    "and colour pages (paper tone); other values: row ends"};
constexpr PropertyDecl kProperties[] = {
    kTop, kBottom, kLeft, kRight, kCropBlack, kInvertBlack, kCropWhite, kBorderSensitivity, kBorderFill};

// Gives the page's handle back on every exit so the holder never deletes it.
struct DetachOnExit {
    CSnowImage& holder;
    ~DetachOnExit() { holder.detach(); }
};
}  // namespace

constinit const ClassDescriptor CZRCrop::kDescriptor{
    "Crop", "CZRCrop", &CLSID_ZRCrop, 106, 203, true, PROCESS_TYPE_GEOMETRY, kProperties, &MakeClassFactory<CZRCrop>};

HRESULT CZRCrop::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        reportProgress(5);
        CCropImage crop(this, image);
        const SHORT top = Read(kTop);
        const SHORT bottom = Read(kBottom);
        const SHORT left = Read(kLeft);
        const SHORT right = Read(kRight);
        const SHORT cropBlack = Read(kCropBlack);
        const SHORT invertBlack = Read(kInvertBlack);
        const SHORT cropWhite = Read(kCropWhite);
        const SHORT sensitivity = Read(kBorderSensitivity);
        const SHORT borderFill = Read(kBorderFill);
        // Detection reads pixels; the fixed cut and the whitening need only the header.
        const bool detects = (cropWhite != 0 || cropBlack != 0) && invertBlack != 1;
        DetachOnExit guard{crop};
        crop.attach(handle, detects);
        crop.setMargins(top, bottom, left, right);
        crop.setModes(cropBlack, cropWhite, invertBlack);
        crop.setSensitivity(sensitivity);
        crop.setBorderFill(borderFill);
        if (crop.run() == CCropImage::kNotBlackAndWhite) {
            CComBSTR name;
            get_Name(&name);
            PostStatusMessage(page, name, kStatusRefused, static_cast<UINT>(IDS_CROP_NEEDS_1BPP));
        }
        return S_OK;
    });
}
