// Resize: reads the mode's settings into the holder, which plans and applies
// the rescale; progress 20 once the settings are read.
#include "processes/geometry/CZRResize.h"

#include "processes/geometry/CResizeImage.h"

namespace {
constexpr PropertyDecl kResizeProperties[] = {
    {"RESIZE_MODE", VT_I2, 0, nullptr,
     "0 = RESIZE_WIDTH x RESIZE_HEIGHT pixels, 1 = RESIZE_PERCENT of the page, 2 = RESIZE_DPI keeping the page's "
     "physical size"},
    {"RESIZE_QUALITY", VT_I2, 2, nullptr, "1 = best (area mapping), 2 = normal (linear), 3 = fastest (nearest)"},
    {"RESIZE_WIDTH", VT_I2, -1, nullptr, "mode 0: new width in pixels (0 x 0 leaves pages unchanged)"},
    {"RESIZE_HEIGHT", VT_I2, -1, nullptr, "mode 0: new height in pixels"},
    {"RESIZE_DPI", VT_I2, -1, nullptr, "mode 2: new resolution in dots per inch, 1 to 1200"},
    {"RESIZE_PERCENT", VT_I2, 100, nullptr, "mode 1: scale in percent, above 0"},
};

// Detaches the page's handle on every exit so the holder never deletes the page bitmap.
struct DetachOnExit {
    CResizeImage& holder;
    ~DetachOnExit() { holder.detach(); }
};
}  // namespace

std::span<const PropertyDecl> CZRResize::Properties() { return kResizeProperties; }

HRESULT CZRResize::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        CResizeImage holder;
        DetachOnExit guard{holder};
        holder.attach(handle, false);
        // The 16-bit members, read as stored; settings of other modes keep their defaults.
        const SHORT quality = ReadProperty("RESIZE_QUALITY").iVal;
        const SHORT mode = ReadProperty("RESIZE_MODE").iVal;
        int width = -1, height = -1, resolution = -1, percent = 100;
        if (mode == CResizeImage::kFixedSize) {
            width = ReadProperty("RESIZE_WIDTH").iVal;
            height = ReadProperty("RESIZE_HEIGHT").iVal;
        } else if (mode == CResizeImage::kPercent) {
            percent = ReadProperty("RESIZE_PERCENT").iVal;
        } else if (mode == CResizeImage::kResolution) {
            resolution = ReadProperty("RESIZE_DPI").iVal;
        }
        holder.setSettings(quality, width, height, mode, resolution, percent);
        reportProgress(20);
        if (holder.hasImage()) holder.apply();
        ThrowIfFailed(image->SetHandle(holder.handle()));
        return S_OK;
    });
}
