// ProfileSkewAnalyzer: reduction by nearest sample, the shear tables and the
// profile variance of every trial angle. The window is read once into one
// byte per pixel, column by column, so that each sheared column adds to the
// profile as one contiguous run.
#include "processes/lines/ProfileSkewAnalyzer.h"

#include "framework/CZRProgressTracker.h"
#include "image/PixelImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kReducedSide = 200;  // the shorter side of the reduced page, about
constexpr int kMaxFactor = 15;
constexpr float kFirstAngle = -10.0f;
constexpr float kAngleStep = 0.5f;
constexpr int kBlackBelow = 384;  // red + green + blue below this is ink

}  // namespace

ProfileSkewAnalyzer::ProfileSkewAnalyzer(CZRProgressTracker* owner) : owner_(owner) {}

void ProfileSkewAnalyzer::report(int percent) const {
    if (owner_) owner_->reportProgress(percent);
}

float ProfileSkewAnalyzer::profileSkew(PixelImage& page) {
    PixelImage reduced = reduce(page);
    return measure(reduced);
}

// Nearest sample of the top-left pixel of every s x s cell of the view.
PixelImage ProfileSkewAnalyzer::reduce(PixelImage& page) {
    const int width = page.viewWidth();
    const int height = page.viewHeight();
    const int s = std::clamp(std::min(width, height) / kReducedSide, 1, kMaxFactor);
    const int w = (width + s - 1) / s;
    const int h = (height + s - 1) / s;
    PixelImage reduced(w, h, 1, false);

    PixelCursor cursor;
    CursorScope scope(page, &cursor);
    for (int v = 0; v < h && v * s < height; ++v) {
        cursor.y = static_cast<std::uint16_t>(v * s);
        for (int u = 0; u < w && u * s < width; ++u) {
            cursor.x = static_cast<std::uint16_t>(u * s);
            reduced.setPixel(u, v, page.isWhiteAt() ? 1 : 0);
        }
    }
    return reduced;
}

float ProfileSkewAnalyzer::measure(PixelImage& reduced) {
    const int w = reduced.viewWidth();
    const int h = reduced.viewHeight();
    x0_ = static_cast<int>(0.1 * w);
    y0_ = static_cast<int>(0.1 * h);
    ww_ = static_cast<int>(0.9 * w);
    hh_ = static_cast<int>(0.9 * h);
    bestAngle_ = 0.0f;
    score_ = 0.0f;
    variances_.assign(kTrials, 0.0f);

    // Shear per trial angle: the angle in radians serves as the slope.
    shiftTable_.assign(kTables, std::vector<std::int32_t>(static_cast<std::size_t>(std::max(ww_, 0))));
    for (int t = 0; t < kTables; ++t) {
        const float angle = kFirstAngle + kAngleStep * static_cast<float>(t);
        const double slope = static_cast<double>(angle) / 180.0 * std::numbers::pi;
        for (int c = 0; c < ww_; ++c)
            shiftTable_[static_cast<std::size_t>(t)][static_cast<std::size_t>(c)] =
                static_cast<std::int32_t>(c * slope);
    }

    // The window's pixels, one byte each (1 = ink), column by column. The
    // window starts at its origin and must fit the image; an empty window or
    // one of a single colour (blank, all black) has no measurable skew.
    const bool fits = x0_ + ww_ <= w && y0_ + hh_ <= h && ww_ > 0 && hh_ > 0;
    std::vector<std::uint8_t> ink;
    std::size_t inkCount = 0;
    if (fits) {
        ink.resize(static_cast<std::size_t>(ww_) * static_cast<std::size_t>(hh_));
        for (int r = 0; r < hh_; ++r) {
            for (int c = 0; c < ww_; ++c) {
                std::uint8_t red = 0;
                std::uint8_t green = 0;
                std::uint8_t blue = 0;
                reduced.getPixel(x0_ + c, y0_ + r, red, green, blue);
                const bool black = red + green + blue < kBlackBelow;
                ink[static_cast<std::size_t>(c) * static_cast<std::size_t>(hh_) + static_cast<std::size_t>(r)] =
                    black ? 1 : 0;
                inkCount += black ? 1 : 0;
            }
        }
    }
    const std::size_t windowPixels = ink.size();
    if (!fits || inkCount == 0 || inkCount == windowPixels) {
        shiftTable_.clear();
        report(100);
        return 0.0f;
    }

    // Profile of every trial: row r counts the ink at (c, r - shift[c]) while
    // that row lies inside the window.
    std::vector<std::int32_t> profile(static_cast<std::size_t>(hh_));
    float best = 0.0f;
    float margin = 0.0f;
    for (int t = 0; t < kTrials; ++t) {
        const float angle = kFirstAngle + kAngleStep * static_cast<float>(t);
        std::fill(profile.begin(), profile.end(), 0);
        const std::vector<std::int32_t>& shift = shiftTable_[static_cast<std::size_t>(t)];
        std::int32_t* out = profile.data();
        for (int c = 0; c < ww_; ++c) {
            const int sh = shift[static_cast<std::size_t>(c)];
            const int rlo = std::max(0, sh);
            const int rhi = std::min(hh_, hh_ + sh);
            if (rlo >= rhi) continue;
            // Row r reads window row r - sh of column c.
            const std::uint8_t* column = ink.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(hh_);
            for (int r = rlo; r < rhi; ++r) out[r] += column[r - sh];
        }
        double sum = 0.0;
        for (const std::int32_t p : profile) sum += p;
        const double mean = sum / hh_;
        double squares = 0.0;
        for (const std::int32_t p : profile) squares += (p - mean) * (p - mean);
        const auto variance = static_cast<float>(squares / hh_);
        variances_[static_cast<std::size_t>(t)] = variance;
        if (variance > best) {
            margin = variance - best;
            best = variance;
            bestAngle_ = angle;
        }
        if (t % 2 == 0) report(static_cast<int>(t / 41.0 * 100));
    }

    // Not confident when the last improvement gained less than 0.1 %.
    score_ = static_cast<double>(best) * 0.001 > margin ? 0.0f : best;
    shiftTable_.clear();
    report(100);
    return score_ > 0.0f ? bestAngle_ : 0.0f;
}
