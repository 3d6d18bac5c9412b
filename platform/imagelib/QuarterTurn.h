// Exact rotation of a house DIB by quarter turns, straight from DIB to DIB.
// O(pixels): 1-bit pages move as 8x8 bit blocks transposed in one 64-bit
// word, 8- and 24-bit pages are walked in square tiles so both the rows read
// and the rows written stay in cache.
#pragma once

#include "platform/imagelib/Dib.h"

namespace imagelib {

class QuarterTurn {
public:
    // The page turned clockwise by quarters x 90 degrees (quarters taken mod 4),
    // same depth and resolution. Throws std::bad_alloc.
    static Dib Apply(const Dib& source, int quarters);
    // Splits a finite clockwise angle into whole quarter turns (0..3) and the
    // rest, which lies within [-45, 45] degrees and is 0 for exact multiples.
    static int Split(double degrees, double* rest);

private:
    static Dib Clockwise(const Dib& source);
    static Dib HalfTurn(const Dib& source);
};

}  // namespace imagelib
