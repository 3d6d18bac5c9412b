// Draws a control's face on a page bitmap: the outline of a rectangle and one
// line of text centred in it, both clipped to the rectangle and the bitmap.
// For processes that are also controls and have no user interface of their
// own. O(rectangle area) through one Leptonica round trip.
#pragma once

#include "platform/imagelib/ImageWrapper.h"

// Black outline and text on a 1-, 8- or 24-bit bitmap; IMG_BAD_HANDLE for an
// unknown handle, IMG_BAD_ARGUMENT for a rectangle outside the bitmap or
// empty, IMG_OUT_OF_MEMORY when a buffer cannot be had.
ZR_IMAGEWRAPPER_API int draw_labelled_frame(int handle, LONG left, LONG top, LONG right, LONG bottom, const char* text);
