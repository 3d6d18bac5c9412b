// The line signature as line removal runs it: the same detection, rerun on
// every page of one object, in the single view the caller has set up (the
// images' own quarter turn chooses vertical lines), with a shorter least
// length during detection and each record's slope filled in. Cost: that of
// LineSig::create plus O(records).
#pragma once

#include "processes/lines/LineSig.h"

class LRLineSig : public LineSig {
public:
    LRLineSig();

    // The largest piece thickness kept by the line grouping (pixels).
    int maxPieceThickness = 50;
    // Whether strokes crossing an erased line are rebuilt afterwards.
    bool reconstruction = false;

    // True when no line was found.
    bool isEmpty() const override;

    // Runs the detection again on `image` (and `boolImage`, which then serves
    // the pixel tests): clears the created flag, detects with a least length
    // of 30 pixels in both orientations (the caller's values are restored
    // afterwards), re-attaches both images and gives every record its slope,
    // (y2 - y1) / (x2 - x1), or the largest double when x1 = x2.
    void detect(PixelImage* image, BoolImage* boolImage);
};
