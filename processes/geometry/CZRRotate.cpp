// Rotate: reads the angle before the page's image is fetched (0 leaves the
// page untouched) and turns the bitmap through the image library.
#include "processes/geometry/CZRRotate.h"

#include "image/CheckStatus.h"
#include "platform/imagelib/ImageWrapper.h"

namespace {
constexpr Property<VT_I2> kRotationAngle{"RotationAngle", 90,
                                         "rotation in degrees, clockwise; 0 leaves pages unchanged"};
constexpr PropertyDecl kProperties[] = {kRotationAngle};
}  // namespace

constinit const ClassDescriptor CZRRotate::kDescriptor{"Rotate",
                                                       "CZRRotate",
                                                       &CLSID_ZRRotate,
                                                       113,
                                                       0,
                                                       true,
                                                       PROCESS_TYPE_GEOMETRY,
                                                       kProperties,
                                                       &MakeClassFactory<CZRRotate>};

HRESULT CZRRotate::Process(IZRPage* page, VARIANT_BOOL* result) {
    SHORT angle = 0;
    return RunProcess(
        page, result,
        [&] {
            angle = Read(kRotationAngle);
            return angle != 0;
        },
        [&](IZRImage* image, int handle) {
            // A rotation the library could not do must not pass as a rotated page.
            CheckStatus(ImageWrapper::rotate_bitmap(handle, static_cast<double>(angle)));
            ThrowIfFailed(image->Refresh());
            return S_OK;
        });
}
