// Skew of a one-bit page in whole degrees, two ways. "Lines": the length-
// weighted mean angle of the segments the line signature finds, after
// trimming short and outlying ones; cost: one LineSig scan of both views.
// "Angle": a Hough transform over the bottom-centre points of small dark
// components (characters); cost: one 16-bit label per pixel, a flood fill of
// every dark component touched by a 4-pixel seed grid, and 211 votes per
// component.
#pragma once

#include "processes/lines/LineSig.h"

#include <cstdint>
#include <memory>
#include <vector>

class CZRProgressTracker;
class PixelImage;

// Bounding box of one dark component, inclusive.
struct ComponentBox {
    std::uint16_t xmin;
    std::uint16_t xmax;
    std::uint16_t ymin;
    std::uint16_t ymax;
};

class SkewAnalyzer {
public:
    enum Mode : int { kAngle = 1, kLines = 2 };

    // `owner` receives progress reports; null reports nothing.
    SkewAnalyzer(CZRProgressTracker* owner, Mode mode);
    ~SkewAnalyzer();
    SkewAnalyzer(const SkewAnalyzer&) = delete;
    SkewAnalyzer& operator=(const SkewAnalyzer&) = delete;

    // Trial angles of the Hough transform span -angleRange .. +angleRange degrees.
    int angleRange = 20;

    // The skew in whole degrees, positive when horizontal features rise to
    // the right; 0 when none is found or the result is not confident. Throws
    // CZRException 2160 for a null image, 2165 for an empty one, 2159 when the
    // label map cannot be allocated, 2174 for angleRange <= 0.
    int measure(PixelImage* image);

    // --- the steps, for measure and for tests ---
    // Labels every dark component reached from a seed on the 4-pixel grid
    // (8-connected) and records its box; at most 65534 components.
    void labelComponents();
    // Hough vote of the small components' bottom-centre points; whole degrees.
    int houghSkew();
    // Trims the line signature's segments by length and angle (only when it
    // holds more than 100).
    void filterSegments();
    // Length-weighted angle of the live segments, whole degrees.
    int lineSkew();

    // The line signature settings of the "Lines" measurement.
    static void configureLineSig(LineSig& sig);
    // Rounds halves away from zero.
    static int roundHalfAway(double value);
    // The angle a segment contributes: horizontal ones their own, vertical
    // ones theirs brought into [0, pi] less pi/2 (leaning left = positive).
    static double contributedAngle(const LineRecord& record);

    // For tests and for the process's own steps.
    void attach(PixelImage* image);
    const std::vector<ComponentBox>& boxes() const { return boxes_; }
    int componentCount() const { return componentCount_; }
    std::uint16_t labelAt(int x, int y) const;
    LineSig* lineSig() const { return lineSig_.get(); }
    // Takes a line signature that has run (tests build their own).
    void setLineSig(std::unique_ptr<LineSig> sig) { lineSig_ = std::move(sig); }

private:
    void report(int percent) const;
    void pushRange(int low, int high) const;
    void replaceRange(int low, int high) const;
    void popRange() const;
    template <class Pixels>
    void floodFill(const Pixels& pixels, int seedX, int seedY, std::uint16_t label);
    template <class Pixels>
    void labelFrom(const Pixels& pixels);
    int measureAngle();
    int measureLines();

    PixelImage* image_ = nullptr;
    std::uint16_t width_ = 0;
    std::uint16_t height_ = 0;
    Mode mode_;
    CZRProgressTracker* owner_;
    std::vector<ComponentBox> boxes_;
    // One label per pixel, column by column: entry x * height + y.
    std::vector<std::uint16_t> labels_;
    // The flood fill's first-in first-out queue of (x, y) pairs packed as
    // x << 16 | y: a ring that grows by doubling and is kept between fills.
    std::vector<std::uint32_t> queue_;
    int componentCount_ = 0;
    std::unique_ptr<LineSig> lineSig_;
};
