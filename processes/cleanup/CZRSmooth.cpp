// Smooth: attaches the page's bitmap to a CSmoothImage, refuses depths other
// than 1 bit with a status message, and runs the configured operations.
#include "processes/cleanup/CZRSmooth.h"

#include "framework/StatusMessage.h"
#include "processes/cleanup/CSmoothImage.h"
#include "resources/MessageIds.h"

namespace {
constexpr Property<VT_I2> kDilation{
    "DIALATION", 0, "dilation size 1-5 (black strokes grow); negative: the same size with erosion first"};
constexpr Property<VT_I2> kErosion{"EROSION", 0,
                                   "erosion size 1-5 (black strokes thin); equal sizes: closing, or opening"};
constexpr Property<VT_I2> kSmooth{"SMOOTH", 0,
                                  "outline smoothing 1-5: 1 fills one-pixel dents and cuts bumps, 2-5 fill gaps"};
constexpr PropertyDecl kProperties[] = {kDilation, kErosion, kSmooth};

struct DetachOnExit {
    CSnowImage& holder;
    ~DetachOnExit() { holder.detach(); }
};
}  // namespace

constinit const ClassDescriptor CZRSmooth::kDescriptor{"Smooth",
                                                       "CZRSmooth",
                                                       &CLSID_ZRSmooth,
                                                       207,
                                                       205,
                                                       true,
                                                       PROCESS_TYPE_GEOMETRY,
                                                       kProperties,
                                                       &MakeClassFactory<CZRSmooth>};

HRESULT CZRSmooth::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        CSmoothImage smooth(this, image);
        DetachOnExit guard{smooth};
        smooth.attach(handle, true);
        if (smooth.bitCount() != 1) {
            CComBSTR name;
            get_Name(&name);
            PostStatusMessage(page, name, kStatusRefused, static_cast<UINT>(IDS_SMOOTH_NEEDS_1BIT));
        }
        const SHORT dilation = Read(kDilation);
        const SHORT erosion = Read(kErosion);
        const SHORT smoothing = Read(kSmooth);
        reportProgress(20);
        smooth.setSizes(dilation, erosion, smoothing);
        if (smooth.hasImage()) smooth.run();
        return S_OK;
    });
}
