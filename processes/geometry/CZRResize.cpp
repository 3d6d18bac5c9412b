// Resize: reads the mode's settings into the holder, which plans and applies
// the rescale; progress 20 once the settings are read.
#include "processes/geometry/CZRResize.h"

#include "processes/geometry/CResizeImage.h"

namespace {
constexpr Property<VT_I2> kMode{"RESIZE_MODE", 0,
                                "0 = RESIZE_WIDTH x RESIZE_HEIGHT pixels, 1 = RESIZE_PERCENT of the page, 2 = "
                                "RESIZE_DPI keeping the page's physical size"};
constexpr Property<VT_I2> kQuality{"RESIZE_QUALITY", 2,
                                   "1 = best (area mapping), 2 = normal (linear), 3 = fastest (nearest)"};
constexpr Property<VT_I2> kWidth{"RESIZE_WIDTH", -1, "mode 0: new width in pixels (0 x 0 leaves pages unchanged)"};
constexpr Property<VT_I2> kHeight{"RESIZE_HEIGHT", -1, "mode 0: new height in pixels"};
constexpr Property<VT_I2> kDpi{"RESIZE_DPI", -1, "mode 2: new resolution in dots per inch, 1 to 1200"};
constexpr Property<VT_I2> kPercent{"RESIZE_PERCENT", 100, "mode 1: scale in percent, above 0"};
constexpr PropertyDecl kProperties[] = {kMode, kQuality, kWidth, kHeight, kDpi, kPercent};

// Detaches the page's handle on every exit so the holder never deletes the page bitmap.
struct DetachOnExit {
    CResizeImage& holder;
    ~DetachOnExit() { holder.detach(); }
};
}  // namespace

constinit const ClassDescriptor CZRResize::kDescriptor{"Resize",
                                                       "CZRResize",
                                                       &CLSID_ZRResize,
                                                       206,
                                                       204,
                                                       true,
                                                       PROCESS_TYPE_GEOMETRY,
                                                       kProperties,
                                                       &MakeClassFactory<CZRResize>};

HRESULT CZRResize::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        CResizeImage holder;
        DetachOnExit guard{holder};
        holder.attach(handle, false);
        // Settings of other modes are not read and keep their defaults.
        const SHORT quality = Read(kQuality);
        const SHORT mode = Read(kMode);
        int width = -1, height = -1, resolution = -1, percent = 100;
        if (mode == CResizeImage::kFixedSize) {
            width = Read(kWidth);
            height = Read(kHeight);
        } else if (mode == CResizeImage::kPercent) {
            percent = Read(kPercent);
        } else if (mode == CResizeImage::kResolution) {
            resolution = Read(kDpi);
        }
        holder.setSettings(quality, width, height, mode, resolution, percent);
        reportProgress(20);
        if (holder.hasImage()) holder.apply();
        ThrowIfFailed(image->SetHandle(holder.handle()));
        return S_OK;
    });
}
