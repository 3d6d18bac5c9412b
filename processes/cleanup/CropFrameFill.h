// CropFrameFill: turns the dark frame of a scan white in place: black
// connected to the page edge that is either thick (solid after its small
// holes are closed: a scanner border, the table around a photographed page, a
// gutter shadow) or a long strip hugging the edge, with its ragged rim and the
// specks that hang on it. Strokes that touch the frame keep all but the few
// pixels next to it. Grey and colour pages are judged on a black-and-white
// copy (Otsu) and take the paper's tone. Cost: a handful of Leptonica passes
// over the page (copy, border flood, closing and opening, dilation), about
// 10 ms on a 1-bit 300-dpi A4 page.
#pragma once

// The library's Windows types come before Leptonica's TRUE and FALSE macros.
#include "platform/imagelib/ImageWrapper.h"

#include "platform/imagelib/PixPtr.h"

class CropFrameFill {
public:
    // Pixel sizes the judgement works with, from the page's resolution.
    struct Sizes {
        int core;   // side of the solid square a frame holds somewhere
        int reach;  // rim beyond the solid part still taken as frame
        int strip;  // shortest strip along an edge taken as frame
    };
    // Sizes for `dpi` dots per inch; a resolution outside 50 ... 2400 is
    // estimated from the page size (a letter or A4 sheet, at least 100).
    static Sizes SizesFor(int dpi, int width, int height);

    // The frame of `black` (1 bpp, 1 = black): a 1 bpp mask, 1 = frame, empty
    // when there is none. Null only when memory runs out.
    static imagelib::PixPtr FrameOf(PIX* black, const Sizes& sizes);

    // Whitens the frame of the library bitmap `handle` (1, 8 or 24 bits) in
    // place: 1-bit frame pixels turn white, grey and colour ones take the
    // paper tone (the median of the light pixels), as does the light rim of
    // one pixel around them. Returns the number of frame pixels; other depths,
    // bad handles and grey pages under 16 x 16 give 0 and are left alone;
    // kOutOfMemory when a working copy cannot be made (the page is unchanged).
    static long long Whiten(int handle);
    static constexpr long long kOutOfMemory = -1;
};
