// CSmoothImage: chooses and orders the morphology operations of one page.
#include "processes/cleanup/CSmoothImage.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "resources/MessageIds.h"

namespace {

void RequireSize(int size) {
    if (size < 1 || size > 5) throw CZRException(static_cast<UINT>(IDS_INVALID_PARAMETER));
}

}  // namespace

CSmoothImage::CSmoothImage(CZRProgressTracker* progressOwner, IZRImage* image)
    : progress_(progressOwner), image_(image), engineProgress_(progressOwner) {
    engine_.setProgressOwner(engineProgress_);
}

void CSmoothImage::setSizes(int dilation, int erosion, int smooth) {
    dilation_ = dilation;
    erosion_ = erosion;
    smooth_ = smooth;
}

void CSmoothImage::pushRange(int low, int high) {
    if (progress_) progress_->pushRange(low, high);
}
void CSmoothImage::replaceRange(int low, int high) {
    if (progress_) progress_->replaceRange(low, high);
}
void CSmoothImage::popRange() {
    if (progress_) progress_->popRange();
}

void CSmoothImage::run() {
    if (!hasImage() || bitCount() != 1 || !header()) return;
    int d = dilation_;
    const int e = erosion_;
    const int s = smooth_;
    const bool erosionFirst = d < 0;
    if (erosionFirst) d = -d;

    // Sizes first, so that a refused size leaves the page as it was. Dilation
    // alone takes any size; erosion, opening, closing and smoothing 1..5.
    if (e > 0) RequireSize(e);
    if (d > 0 && e > 0 && d == e) RequireSize(d);
    if (s > 0) RequireSize(s);

    BITMAPINFOHEADER* dib = header();
    if (d > 0 && e < 1) {
        engine_.dilate(dib, d);
    } else if (d > 0 && e > 0) {
        const int firstLow = 10, middle = s < 1 ? 50 : 40, secondHigh = s < 1 ? 90 : 70;
        if (d == e) {
            pushRange(firstLow, secondHigh);
            if (erosionFirst)
                engine_.open(dib, d);
            else
                engine_.close(dib, d);
        } else {
            pushRange(firstLow, middle);
            if (erosionFirst)
                engine_.erode(dib, e);
            else
                engine_.dilate(dib, d);
            replaceRange(middle, secondHigh);
            if (erosionFirst)
                engine_.dilate(dib, d);
            else
                engine_.erode(dib, e);
        }
        popRange();
    } else if (e > 0) {
        engine_.erode(dib, e);
    }
    if (s > 0) engine_.smooth(dib, s);
}
