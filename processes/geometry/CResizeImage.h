// The holder resize uses: decides the new pixel size and resolution of the
// attached page from its settings (fixed size, percentage or resolution),
// validates them, and has the image library rescale the bitmap. Deciding is
// O(1); the rescale is O(new pixels) in the library.
#pragma once

#include "image/CSnowImage.h"

class CResizeImage : public CSnowImage {
public:
    enum Mode : int { kFixedSize = 0, kPercent = 1, kResolution = 2 };

    // What applying the settings to a page comes to: nothing, or a rescale to
    // width x height with the library quality, then the given resolution.
    struct Plan {
        bool nothingToDo = true;
        int width = 0;
        int height = 0;
        int xResolution = 0;
        int yResolution = 0;
        ResizeQuality quality = RESIZE_QUALITY_NORMAL;
    };

    // Stores all six settings; quality is the user's 1 (best) to 3 (fastest).
    void setSettings(int quality, int width, int height, int mode, int resolution, int percent);

    // The plan for a page of W x H pixels at X, Y dots per inch. Invalid
    // settings raise CZRException: 2167 percentage, 2172 resolution, 2165
    // dimensions, 2169 quality (checked only when there is something to do).
    Plan plan(int pageWidth, int pageHeight, int xResolution, int yResolution) const;

    // Applies the settings to the attached bitmap: 2160 without a header,
    // the plan's failures, library failures through CheckStatus. The holder
    // shows the new size afterwards.
    void apply();

    // User quality 1, 2, 3 to the library's best, normal, fast; 2169 otherwise.
    static ResizeQuality MapQuality(int quality);

private:
    int quality_ = 2;
    int targetWidth_ = -1;
    int targetHeight_ = -1;
    int mode_ = kFixedSize;
    int resolution_ = -1;
    int percent_ = 100;
};
