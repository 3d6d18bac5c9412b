// LRLineSig: the rerun of the detection for line removal.
#include "processes/lines/LRLineSig.h"

#include <limits>

namespace {
constexpr int kDetectionMinLength = 30;
}  // namespace

LRLineSig::LRLineSig() : LineSig(nullptr) { bothViews = false; }

bool LRLineSig::isEmpty() const { return noHorizontalLines() && noVerticalLines(); }

void LRLineSig::detect(PixelImage* image, BoolImage* boolImage) {
    clearCreated();
    setImage(image);
    setBoolImage(boolImage);
    const int savedH = minLengthH;
    const int savedV = minLengthV;
    minLengthH = minLengthV = kDetectionMinLength;
    try {
        create();
    } catch (...) {
        minLengthH = savedH;
        minLengthV = savedV;
        throw;
    }
    minLengthH = savedH;
    minLengthV = savedV;
    // create detaches the images; the grouping reads them again.
    setImage(image);
    setBoolImage(boolImage);
    for (Records* list : {&horizontal(), &vertical()}) {
        for (auto& r : *list) {
            r->slope = r->x1 == r->x2 ? std::numeric_limits<double>::max()
                                      : static_cast<double>(r->y2 - r->y1) / (r->x2 - r->x1);
        }
    }
}
