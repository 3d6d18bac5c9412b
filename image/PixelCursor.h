// The cursor record the "At" accessors of PixelImage and BoolImage read and
// write: one pixel position and its colour. Plain data, O(1).
#pragma once

#include <cstdint>

struct PixelCursor {
    // Colour read or to be written. 8-bit reads put the grey level in all
    // three; 1-bit reads give 255 for white and 0 for black; a 1-bit write is
    // white when red is nonzero.
    std::uint8_t red = 255;
    std::uint8_t green = 255;
    std::uint8_t blue = 255;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    // What a cursor write to a BoolImage stores (nonzero = white).
    std::uint8_t bit = 1;
};
