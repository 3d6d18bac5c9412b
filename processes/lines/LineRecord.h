// One straight dark segment found on a page by the line signature: its two end
// points in page pixels, its length and angle. Plain data, O(1).
#pragma once

#include <cstdint>

struct LineRecord {
    // 0: found in the plain view (horizontal list); 1: found in the quarter-
    // turned view (vertical list).
    std::uint32_t orientation = 0;
    // Horizontal records run from the left end (x1, y1) to the right end
    // (x2, y2), the y values being the rows of the line's upper edge as it was
    // tracked. Vertical records run from the lower end (x1, y1) to the upper
    // end (x2, y2), so y1 > y2. Coordinates are 32-bit: pages reach 65535
    // pixels, which a 16-bit signed field cannot hold.
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    // -1 when created; the line signature never changes it.
    std::int16_t label = -1;
    // sqrt((x2 - x1)^2 + (y1 - y2)^2), set when the segments are measured.
    double length = 0.0;
    // atan((y1 - y2) / (x2 - x1)) in radians, pi/2 when x1 = x2: positive when
    // a horizontal line rises to the right.
    double angle = 0.0;
    // Two spare words for the line-removal grouping (the first holds a slope
    // there); zero here.
    double slope = 0.0;
    std::uint64_t spare = 0;

    // x2 = -1 marks a record deleted; every consumer skips such records.
    static constexpr std::int32_t kDeleted = -1;
    bool deleted() const { return x2 == kDeleted; }
    void markDeleted() { x2 = kDeleted; }
};
