// Black and white from a grey or colour page, straight on the DIB: grey
// levels with weights 0.299, 0.587, 0.114 (rounded as the Leptonica
// conversion rounds them), a threshold chosen by Otsu's method or fixed at
// 128, and a level below the threshold becomes black. Gives the same bits as
// the Pix road. Two passes over the page, one grey buffer, O(pixels).
#pragma once

#include "platform/imagelib/Dib.h"

namespace imagelib {

class DibBinarizer {
public:
    // An 8- or 24-bit page as a 1-bit page of the same size and resolution.
    // Throws std::bad_alloc.
    static Dib Apply(const Dib& source, bool autoThreshold);
};

}  // namespace imagelib
