// The end of a character stroke found a few rows away from an erased line:
// the dark run on the probe row, the point the stroke leads to when traced
// away from the line, and the component label it carries. Plain data, O(1).
#pragma once

#include <cstdint>

struct StrokeEnd {
    // Slope of a stroke traced straight across (ex = xc).
    static constexpr double kUpright = 2147483647.0;

    int xc = 0;   // centre of the run, (xs + xe) / 2 rounded down
    int xs = 0;   // first column of the dark run on the probe row
    int y = 0;    // the probe row
    int xe = 0;   // first white column after the run; -1 once matched
    int row = 0;  // a second copy of y
    int ex = 0;   // traced end point
    int ey = 0;
    std::uint8_t kind = 0;  // |ey - y|: how far the trace went across the line's direction
    double slope = kUpright;
    std::uint16_t label = 0;  // componentMap value at (xc, y)

    bool matched() const { return xe == -1; }
};
