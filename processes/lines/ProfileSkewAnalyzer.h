// Skew of a text page by projection profiles: the page is reduced (nearest
// sample of every s-th pixel, s = min(width, height) / 200 clamped to 1..15),
// and the trial angle from -10 to +9.5 degrees in half-degree steps whose
// sheared row profile has the largest variance wins. Cost: one read per
// reduced pixel, then 40 profiles of the reduced window (about 40 x 50 000
// additions on a 300-dpi A4 page).
#pragma once

#include <cstdint>
#include <vector>

class CZRProgressTracker;
class PixelImage;

class ProfileSkewAnalyzer {
public:
    static constexpr int kTables = 41;  // shift tables for -10.0 .. +10.0
    static constexpr int kTrials = 40;  // trial angles -10.0 .. +9.5

    // `owner` receives progress reports; null reports nothing.
    explicit ProfileSkewAnalyzer(CZRProgressTracker* owner);

    // Reduces `page` (its current view) and measures the reduced copy:
    // degrees, a multiple of 0.5, positive when text lines rise to the right;
    // 0 when no confident skew is found.
    float profileSkew(PixelImage& page);

    // The reduced 1-bit copy of the page's view (owned library bitmap).
    static PixelImage reduce(PixelImage& page);
    // The measurement on an already reduced 1-bit image.
    float measure(PixelImage& reduced);

    // Results of the last measure.
    float bestAngle() const { return bestAngle_; }
    float score() const { return score_; }
    // The variance of every trial's profile (0 when none was computed).
    const std::vector<float>& variances() const { return variances_; }
    // Window origin and size on the reduced image.
    int windowX() const { return x0_; }
    int windowY() const { return y0_; }
    int windowWidth() const { return ww_; }
    int windowHeight() const { return hh_; }

private:
    void report(int percent) const;

    CZRProgressTracker* owner_;
    std::vector<std::vector<std::int32_t>> shiftTable_;
    int x0_ = 0;
    int y0_ = 0;
    int ww_ = 0;
    int hh_ = 0;
    float bestAngle_ = 0.0f;
    float score_ = 0.0f;
    std::vector<float> variances_;
};
