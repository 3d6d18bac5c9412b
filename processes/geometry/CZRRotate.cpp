// Rotate.
#include "processes/geometry/CZRRotate.h"

#include "image/CheckStatus.h"
#include "platform/imagelib/ImageWrapper.h"

namespace {
constexpr PropertyDecl kRotateProperties[] = {
    {"RotationAngle", VT_I2, 90, nullptr, "rotation in degrees, clockwise; 0 leaves pages unchanged"},
};
}  // namespace

std::span<const PropertyDecl> CZRRotate::Properties() { return kRotateProperties; }

HRESULT CZRRotate::Process(IZRPage* page, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    if (!page) return E_INVALIDARG;
    return RunGuarded(ProcessText().c_str(), IID_IZRProcessEx, [&] {
        *result = VARIANT_TRUE;
        // The 16-bit member, read as stored whatever the VARIANT's type.
        const SHORT angle = ReadProperty("RotationAngle").iVal;
        if (angle == 0) return S_OK;
        CComPtr<IZRImage> image;
        int handle = -1;
        if (!FetchImage(page, result, image, &handle)) return S_OK;
        // A rotation the library could not do must not pass as a rotated page.
        CheckStatus(ImageWrapper::rotate_bitmap(handle, static_cast<double>(angle)));
        ThrowIfFailed(image->Refresh());
        return S_OK;
    });
}
