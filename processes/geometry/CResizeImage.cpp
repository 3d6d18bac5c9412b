// Resize planning and the library rescale.
#include "processes/geometry/CResizeImage.h"

#include "framework/CZRException.h"
#include "image/CheckStatus.h"
#include "resources/MessageIds.h"

#include <climits>
#include <cmath>

namespace {

// trunc(side x factor) as a pixel count. A product beyond an int cannot be a
// page size: refused as invalid dimensions, never converted.
int ScaledSide(int side, double factor) {
    const double scaled = std::trunc(static_cast<double>(side) * factor);
    if (!std::isfinite(scaled) || scaled > static_cast<double>(INT_MAX) || scaled < static_cast<double>(INT_MIN))
        throw CZRException(static_cast<UINT>(IDS_INVALID_DIMENSIONS));
    return static_cast<int>(scaled);
}

}  // namespace

void CResizeImage::setSettings(int quality, int width, int height, int mode, int resolution, int percent) {
    quality_ = quality;
    targetWidth_ = width;
    targetHeight_ = height;
    mode_ = mode;
    resolution_ = resolution;
    percent_ = percent;
}

ResizeQuality CResizeImage::MapQuality(int quality) {
    switch (quality) {
        case 1:
            return RESIZE_QUALITY_BEST;
        case 2:
            return RESIZE_QUALITY_NORMAL;
        case 3:
            return RESIZE_QUALITY_FAST;
        default:
            throw CZRException(static_cast<UINT>(IDS_INVALID_QUALITY));
    }
}

CResizeImage::Plan CResizeImage::plan(int pageWidth, int pageHeight, int xResolution, int yResolution) const {
    Plan plan;
    plan.xResolution = xResolution;
    plan.yResolution = yResolution;
    if (mode_ == kPercent) {
        const double factor = percent_ / 100.0;
        if (factor <= 0.0 || factor > 1000.0) throw CZRException(static_cast<UINT>(IDS_INVALID_PERCENTAGE));
        plan.width = ScaledSide(pageWidth, factor);
        plan.height = ScaledSide(pageHeight, factor);
    } else if (mode_ == kResolution) {
        const double dpi = resolution_;
        if (dpi < 1.0 || dpi > 1200.0) throw CZRException(static_cast<UINT>(IDS_INVALID_DPI));
        plan.xResolution = resolution_;
        plan.yResolution = resolution_;
        // A page of unknown (0) or negative resolution has no physical size
        // to keep: no new size follows from it.
        if (xResolution <= 0) throw CZRException(static_cast<UINT>(IDS_INVALID_DIMENSIONS));
        // Both sides scale by the ratio of the horizontal resolutions.
        const double factor = dpi / static_cast<double>(xResolution);
        plan.width = ScaledSide(pageWidth, factor);
        plan.height = ScaledSide(pageHeight, factor);
    } else {
        plan.width = targetWidth_;
        plan.height = targetHeight_;
    }
    if (plan.width == pageWidth && plan.height == pageHeight && plan.xResolution == xResolution &&
        plan.yResolution == yResolution)
        return plan;
    if (plan.width == 0 && plan.height == 0) return plan;
    if (plan.width <= 0 || plan.height <= 0) throw CZRException(static_cast<UINT>(IDS_INVALID_DIMENSIONS));
    plan.quality = MapQuality(quality_);
    plan.nothingToDo = false;
    return plan;
}

void CResizeImage::apply() {
    if (!header()) throw CZRException(static_cast<UINT>(IDS_UNKNOWN_INTERNAL_ERROR));
    const Plan todo = plan(width(), height(), xResolution(), yResolution());
    if (todo.nothingToDo) return;
    CheckStatus(ImageWrapper::resize_bitmap(handle(), todo.width, todo.height, todo.quality));
    ImageWrapper::set_resolution(handle(), todo.xResolution, todo.yResolution);
    refresh(headerIsLibrarys());
}
