// Border padding: progress 5 once the image is there, the canvas growth
// between 5 and 85, then 100.
#include "processes/geometry/CZRBorderPadding.h"

#include "framework/CZRException.h"
#include "image/CheckStatus.h"
#include "platform/imagelib/ImageWrapper.h"
#include "resources/MessageIds.h"

namespace {
constexpr Property<VT_I2> kLeft{"CHANGELEFT", 0, "white pixels added on the left (0 or more)"};
constexpr Property<VT_I2> kRight{"CHANGERIGHT", 0, "white pixels added on the right (0 or more)"};
constexpr Property<VT_I2> kTop{"CHANGETOP", 0, "white pixels added at the top (0 or more)"};
constexpr Property<VT_I2> kBottom{"CHANGEBOTTOM", 0, "white pixels added at the bottom (0 or more)"};
constexpr Property<VT_I2> kCropBlack{"CROPBLACK", 0, "kept for saved jobs; no effect"};
constexpr Property<VT_I2> kCropWhite{"CROPWHITE", 0, "kept for saved jobs; no effect"};
constexpr Property<VT_BOOL> kSilent{"PROP_SILENT", 0, "kept for saved jobs; no effect"};
constexpr PropertyDecl kProperties[] = {kLeft, kRight, kTop, kBottom, kCropBlack, kCropWhite, kSilent};
}  // namespace

constinit const ClassDescriptor CZRBorderPadding::kDescriptor{"BorderPadding",
                                                              "CZRBorderPadding",
                                                              &CLSID_ZRBorderPadding,
                                                              108,
                                                              202,
                                                              true,
                                                              PROCESS_TYPE_GEOMETRY,
                                                              kProperties,
                                                              &MakeClassFactory<CZRBorderPadding>};

HRESULT CZRBorderPadding::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        reportProgress(5);
        ProgressRange range(*this, 5, 85);
        const int top = Read(kTop);
        const int bottom = Read(kBottom);
        const int left = Read(kLeft);
        const int right = Read(kRight);
        // Read though unused: a bag without them fails the page.
        Read(kCropBlack);
        Read(kCropWhite);
        Read(kSilent);
        // An image without a bitmap has no canvas to grow.
        if (handle < 0) return S_OK;
        const int status = ImageWrapper::enlarge_canvas(handle, left, top, right, bottom);
        // A canvas the library refused must not pass as a padded page:
        // negative margins are a bad setting, others a page too large.
        if (status == IMG_BAD_ARGUMENT) {
            const bool negative = left < 0 || top < 0 || right < 0 || bottom < 0;
            throw CZRException(static_cast<UINT>(negative ? IDS_INVALID_PARAMETER : IDS_INVALID_DIMENSIONS));
        }
        CheckStatus(status);
        range.replace(85, 100);
        return S_OK;
    });
}
