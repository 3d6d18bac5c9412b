// CSmoothImage: the smooth process's page holder. On a 1-bit page it runs the
// configured dilation, erosion, opening or closing and then the outline
// smoothing through its MorphologyEngine, in place on the page's DIB; other
// depths are left alone. Cost: that of the engine's members (see there).
#pragma once

#include "framework/HostObjects.h"
#include "image/CSnowImage.h"
#include "processes/cleanup/MorphologyEngine.h"

#include <cstdint>

class CZRProgressTracker;

class CSmoothImage : public CSnowImage {
public:
    // `image` is the page's image object (one reference is held; may be null).
    // `progressOwner` receives progress reports, or is null.
    CSmoothImage(CZRProgressTracker* progressOwner, IZRImage* image);

    // "DIALATION" (negative: the same size with erosion first), "EROSION", "SMOOTH".
    void setSizes(int dilation, int erosion, int smooth);

    // On a 1-bit page: dilation and erosion in the configured order (equal
    // sizes: closing, or opening when erosion goes first), then smoothing.
    // Every size is checked before the page is touched: a size the chosen
    // operation cannot take gives CZRException 2166 with the page unchanged.
    // Pages of other depths, or no page, are left as they are.
    void run();

    MorphologyEngine& engine() { return engine_; }

private:
    void pushRange(int low, int high);
    void replaceRange(int low, int high);
    void popRange();

    CZRProgressTracker* progress_ = nullptr;
    CComPtr<IZRImage> image_;
    MorphologyEngine engine_;
    CZRProgressTracker* engineProgress_ = nullptr;
    std::int32_t dilation_ = 0;
    std::int32_t erosion_ = 0;
    std::int32_t smooth_ = 0;
};
