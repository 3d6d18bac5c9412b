// The holder invert uses for zone runs: writes go straight into the attached
// page bitmap. Inverting a rectangle costs one read and one write per pixel.
#pragma once

#include "image/CSnowImage.h"

class CInvertImage : public CSnowImage {
public:
    // Complements every pixel of [x, x + w) x [y, y + h) (top-left origin),
    // clipped to the page (a negative origin cuts the rectangle, it does not
    // move it); a rectangle reaching the right or bottom edge
    // leaves the page's last column or row as it was.
    void invertRect(int x, int y, int w, int h);
};
