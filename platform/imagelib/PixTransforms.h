// Whole-page transforms on Leptonica images of 1, 8 or 32 bpp: rotation,
// scaling, depth change, cropping and canvas growth. Each makes a new image in
// O(output pixels) (rotation by area mapping and scaling with sharpening cost a
// small constant more per pixel). Failures come back as an image status.
#pragma once

#include <array>

#include "platform/imagelib/ImageWrapper.h"
#include "platform/imagelib/PixPtr.h"

namespace imagelib {

class PixTransforms {
public:
    // Clockwise by `degrees` (meant for the part of an angle left after whole
    // quarter turns) about the centre, on a canvas grown to hold the whole
    // page, with white brought in. 1 bpp turns by shear up to about 3.4
    // degrees and by sampling beyond; grey and colour by area mapping.
    static int Rotate(PIX* pix, double degrees, PixPtr* out);
    // Scales to exactly width x height; the quality picks sampling, linear
    // interpolation or area mapping with sharpening. 1 bpp stays 1 bpp.
    static int Resize(PIX* pix, int width, int height, ResizeQuality quality, PixPtr* out);
    // New depth 1, 8 or 32 bpp. To 1 bpp the threshold is 128, or the Otsu
    // threshold of the page's grey histogram when `autoThreshold` is set.
    static int ChangeDepth(PIX* pix, int depth, bool autoThreshold, PixPtr* out);
    // The rectangle [left, right) x [top, bottom), already clamped and non-empty.
    static int Crop(PIX* pix, int left, int top, int right, int bottom, PixPtr* out);
    // White margins of the given non-negative widths around the page.
    static int AddMargins(PIX* pix, int left, int top, int right, int bottom, PixPtr* out);
    // Grey level t such that levels below t count as black (Otsu's method on
    // the 8 bpp image's histogram; 128 when the page has a single level).
    static int OtsuThreshold(PIX* grey);
    // The same from a histogram of grey levels.
    static int OtsuThreshold(const std::array<double, 256>& histogram);
};

}  // namespace imagelib
