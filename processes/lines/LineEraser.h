// Erases the pieces of ruled lines that LRLineSig found, in place, in the
// background colour (white on 1-bit pages, the median colour of background
// pixels on a nearby parallel row otherwise), keeping the strokes of the
// characters that cross a line above and below its band; then, with
// reconstruction on, joins the stroke ends that face each other across an
// erased line. Works on the current view of the page, so vertical lines are
// erased through the quarter-turned view. Cost: O(line pixels) to erase, plus
// a few background rows per piece on deeper pages; reconnection is
// O(columns + ends^2) per piece plus the bridges' pixels.
#pragma once

#include "processes/lines/LineGroup.h"
#include "processes/lines/StrokeEnd.h"
#include "processes/lines/ViewPixels.h"

#include <cstdint>
#include <vector>

class BoolImage;
class LRLineSig;
class PixelImage;

class LineEraser {
public:
    // Receives progress percentages (0..100) with the context it was given.
    using ProgressHook = void (*)(void* context, int percent);

    static constexpr int kWidestStrokeEnd = 30;
    static constexpr double kBridgeWidening = 0.5;
    static constexpr double kBackgroundPercent = 75.0;
    static constexpr int kMaxCleanup = 50;
    static constexpr int kMaxThickness = 50;
    static constexpr int kMaxReconstruction = 200;

    struct Colour {
        std::uint8_t red = 255;
        std::uint8_t green = 255;
        std::uint8_t blue = 255;
    };

    // "CLEANUP", "MAXTHICKNESS", "RECONSTRUCTION", each clamped.
    void setProperties(int cleanup, int maxThickness, int reconstruction);
    int cleanup() const { return cleanup_; }
    int maxThickness() const { return maxThickness_; }
    int reconstruction() const { return reconstruction_; }

    // With runs followed, every column where a piece shows alone loses
    // exactly its dark run, and a column where a character meets it loses the
    // band placed between the nearest such columns (not the straight band of
    // the piece's end points); the ends are followed while the run stays as
    // thin. Off by default.
    void setFollowRuns(bool follow) { followRuns_ = follow; }
    bool followRuns() const { return followRuns_; }

    // The page (written) and, for deeper pages, its 1-bit view (read); both
    // in the view the lines were found in. The view size is taken from them.
    void setImages(PixelImage* image, BoolImage* boolImage);
    void setSignature(LRLineSig* signature) { signature_ = signature; }
    void setProgressHook(ProgressHook hook, void* context) {
        progressHook_ = hook;
        progressContext_ = context;
    }

    // Paints every horizontal piece no thicker than maxThickness in the
    // background colour. Throws QNCException "Unknown internal error" (2160)
    // without a page image.
    void eraseLines();
    // Bridges the facing stroke ends across every horizontal piece. With runs
    // followed, rebuilds instead every erased pixel that lies on a straight
    // stroke (upright or leaning up to 27 degrees) continuing dark on both
    // sides of the erased rows: the characters the piece crossed, not the
    // piece beside them.
    void reconnectStrokes();

    // The median colour (by red + green + blue) of the pixels that the pixel
    // test calls white on the row d below the piece's band; returns how many
    // there were, 0 when fewer than 2 (colour then unchanged).
    int sampleBackground(const LineGroup& group, int d, Colour& colour) const;
    // The stroke end whose dark run starts at (x, r), traced upward (away from
    // a line below it) or downward.
    StrokeEnd makeStrokeEnd(int x, int r, bool upward) const;
    // Follows a stroke from (x, y) away from the line within the budgets;
    // (x, y) becomes the end point.
    void traceStroke(int& x, int& y, int sideways, int vertical, bool upward) const;
    // Fills the rows strictly between the two ends.
    void paintBridge(const StrokeEnd& upper, const StrokeEnd& lower, Colour colour);

private:
    void requireImage() const;
    void paint(int x, int y, Colour colour);
    void report(int percent) const;
    bool pieceColour(const LineGroup& group, Colour& colour) const;
    void eraseGroup(LineGroup& group);
    void eraseFollowingRuns(LineGroup& group, Colour colour);
    void reconnectGroup(LineGroup& group);
    void rebuildCrossings(const LineGroup& group);
    std::uint16_t labelAt(int x, int y) const;

    int cleanup_ = 0;
    int maxThickness_ = 0;
    int reconstruction_ = 0;
    bool followRuns_ = false;
    int width_ = 0;
    int height_ = 0;
    PixelImage* image_ = nullptr;
    BoolImage* boolImage_ = nullptr;
    LRLineSig* signature_ = nullptr;
    ViewPixels pixels_;
    ProgressHook progressHook_ = nullptr;
    void* progressContext_ = nullptr;
};
