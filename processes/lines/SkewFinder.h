// SkewFinder: how far the rows of a page are turned, and how sure that is.
// The page (a Leptonica image of 1, 8 or 32 bpp) is brought to about 100 to
// 200 dpi and made black and white against its own background: grey and
// colour pages are divided by a tiled estimate of the paper (so shadows and
// uneven light vanish and dark borders stay black), 1-bit pages are reduced
// keeping every black pixel. Solid dark regions at least ~5 mm across in both
// directions (scanner borders, gutters, photos, halftones) are masked out with
// a margin, and so is whatever touches the page's edge. The angle is then the
// vertical shear whose row profile is sharpest (differential square sum): a
// sweep in whole degrees at a quarter of the working resolution, a sweep in
// quarter degrees about its best at half, and hill climbing with halving
// steps at full working resolution down to the precision asked for, finished
// by the vertex of the parabola through its last three scores. Confidence is the
// sharpest score over the flattest; a page with fewer than two separate
// bands of ink at that angle has no measurable skew.
// Cost on a 300-dpi A4 page: ~10 ms for 1 bit, ~40 ms for grey, ~55 ms for colour.
#pragma once

#include "platform/imagelib/PixPtr.h"

struct SkewReading {
    bool measurable = false;  // enough separate rows of ink to trust any angle
    double angle = 0.0;       // degrees; positive when rows rise to the right (a clockwise turn straightens)
    double confidence = 0.0;  // best row-profile score over the worst; 0 when not measurable
    int bands = 0;            // separate bands of ink across the straightened rows
};

class SkewFinder {
public:
    struct Settings {
        double maxAngle = 15.0;   // search -maxAngle .. +maxAngle degrees
        double precision = 0.05;  // bisection stops below this step, degrees
    };

    explicit SkewFinder(Settings settings) : settings_(settings) {}

    // `dpi` is the page's resolution; 0 (or an implausible value) estimates it
    // from the page size as if it were a letter or A4 sheet.
    SkewReading measure(PIX* page, int dpi) const;

    // The masked black-and-white working copy the angle is measured on, and
    // the resolution it has; null when the page is too small to measure.
    static imagelib::PixPtr WorkingInk(PIX* page, int dpi, int* workingDpi);
    // Separate bands of ink in the row profile of `ink` sheared by `degrees`.
    static int CountBands(PIX* ink, double degrees);

private:
    Settings settings_;
};
