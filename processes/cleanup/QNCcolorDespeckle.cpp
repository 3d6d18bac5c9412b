// QNCcolorDespeckle: planes, the sliding ring and the paint decision.
#include "processes/cleanup/QNCcolorDespeckle.h"

#include "framework/CZRException.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {
constexpr int kDarkMargin = 30;           // centre + 30 below the ring's darkest: a dark speck
constexpr int kSameMargin = 10;           // centre within 10 of the ring's darkest: no real contrast
constexpr std::uint64_t kEvenRing = 100;  // ring variance below this: an even background
}  // namespace

QNCcolorDespeckle::QNCcolorDespeckle(PixelImage& image, int m, int n) : image_(image), m_(m), n_(n) {
    const int bits = image.bitCount();
    mode_ = bits == 8 ? kGrey : bits == 24 ? kColour : kNone;
    t_ = (m - n) / 2;
    h_ = (m - 1) / 2;
    width_ = image.viewWidth();
    height_ = image.viewHeight();
    k_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(m) * m - static_cast<std::int64_t>(n) * n);
    step_ = n > 1 ? n / 2 : 1;
    if (mode_ == kNone) return;
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    // A failed allocation is the handler chain's "Out of memory".
    grey_.resize(pixels);
    outRed_.resize(pixels);
    if (mode_ == kColour) {
        outGreen_.resize(pixels);
        outBlue_.resize(pixels);
        srcRed_.resize(pixels);
        srcGreen_.resize(pixels);
        srcBlue_.resize(pixels);
    }
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            std::uint8_t red = 0;
            std::uint8_t green = 0;
            std::uint8_t blue = 0;
            image.getPixel(x, y, red, green, blue);
            const std::size_t i = at(x, y);
            if (mode_ == kGrey) {
                grey_[i] = red;
                outRed_[i] = red;
            } else {
                grey_[i] = GreyOf(red, green, blue);
                outRed_[i] = srcRed_[i] = red;
                outGreen_[i] = srcGreen_[i] = green;
                outBlue_[i] = srcBlue_[i] = blue;
            }
        }
    }
}

inline void QNCcolorDespeckle::addToRing(std::uint8_t level) {
    ++histogram_[level];
    ++coarse_[level >> 5];
    if (level < minimum_) minimum_ = level;
    sum_ += level;
    sumOfSquares_ += static_cast<std::uint64_t>(level) * level;
}

inline void QNCcolorDespeckle::removeFromRing(std::uint8_t level) {
    if (--histogram_[level] == 0 && level == minimum_) minimumStale_ = true;
    --coarse_[level >> 5];
    sum_ -= level;
    sumOfSquares_ -= static_cast<std::uint64_t>(level) * level;
}

template <class Visit>
bool QNCcolorDespeckle::forEachRingPixel(int x, int y, Visit&& visit) const {
    for (int r = y; r < y + t_; ++r)
        for (int c = x; c < x + m_; ++c)
            if (visit(c, r)) return true;
    for (int r = y + t_; r < y + t_ + n_; ++r)
        for (int c = x; c < x + t_; ++c)
            if (visit(c, r)) return true;
    for (int r = y + m_ - t_; r < y + m_; ++r)
        for (int c = x; c < x + m_; ++c)
            if (visit(c, r)) return true;
    for (int r = y + t_; r < y + t_ + n_; ++r)
        for (int c = x + m_ - t_; c < x + m_; ++c)
            if (visit(c, r)) return true;
    return false;
}

// The ring of the first window of a row, counted afresh.
void QNCcolorDespeckle::startRow(int y) {
    histogram_.fill(0);
    coarse_.fill(0);
    sum_ = 0;
    sumOfSquares_ = 0;
    minimum_ = 256;
    minimumStale_ = false;
    forEachRingPixel(0, y, [&](int c, int r) {
        addToRing(grey(c, r));
        return false;
    });
}

// From the window at x to the one at x + 1: on every row the left column
// leaves and the new right column enters; on the centre rows the old centre's
// left column joins the ring and the new centre's right column leaves it. On
// even paper most pairs carry the same level, and such a pair changes nothing.
void QNCcolorDespeckle::stepRight(int x, int y) {
    const auto exchange = [this](std::uint8_t leaving, std::uint8_t entering) {
        if (leaving == entering) return;
        removeFromRing(leaving);
        addToRing(entering);
    };
    for (int r = y; r < y + m_; ++r) exchange(grey(x, r), grey(x + m_, r));
    for (int r = y + t_; r < y + t_ + n_; ++r) exchange(grey(x + t_ + n_, r), grey(x + t_, r));
}

// The lowest level present in the ring. Entering levels only ever lower it,
// so it is kept up to date as they enter; when the last pixel of the lowest
// level leaves, the search resumes from there: the lowest non-empty coarse
// counter from that band on, then the lowest level inside it.
int QNCcolorDespeckle::ringMinimum() {
    if (!minimumStale_) return minimum_;
    minimumStale_ = false;
    for (int band = minimum_ >> 5; band < 8; ++band) {
        if (coarse_[static_cast<std::size_t>(band)] == 0) continue;
        for (int level = std::max(band * 32, minimum_); level < band * 32 + 32; ++level) {
            if (histogram_[static_cast<std::size_t>(level)] != 0) {
                minimum_ = level;
                return minimum_;
            }
        }
    }
    minimum_ = 256;  // an empty ring (none is ever asked for)
    return 255;
}

void QNCcolorDespeckle::paint(int x, int y, std::uint8_t mean) {
    const int cx = x + t_;
    const int cy = y + t_;
    if (mode_ == kGrey) {
        for (int r = cy; r < cy + n_; ++r)
            for (int c = cx; c < cx + n_; ++c) outRed_[at(c, r)] = mean;
        return;
    }
    // The populated ring level nearest the mean: mean, mean + 1, mean - 1,
    // mean + 2, ... with levels wrapping within 0..255.
    int level = mean;
    for (int d = 0; d < 256; ++d) {
        const int up = (mean + d) & 0xFF;
        const int down = (mean - d) & 0xFF;
        if (histogram_[static_cast<std::size_t>(up)] != 0) {
            level = up;
            break;
        }
        if (histogram_[static_cast<std::size_t>(down)] != 0) {
            level = down;
            break;
        }
    }
    std::size_t source = 0;
    forEachRingPixel(x, y, [&](int c, int r) {
        if (grey(c, r) != level) return false;
        source = at(c, r);
        return true;
    });
    const std::uint8_t red = srcRed_[source];
    const std::uint8_t green = srcGreen_[source];
    const std::uint8_t blue = srcBlue_[source];
    for (int r = cy; r < cy + n_; ++r) {
        for (int c = cx; c < cx + n_; ++c) {
            const std::size_t i = at(c, r);
            outRed_[i] = red;
            outGreen_[i] = green;
            outBlue_[i] = blue;
        }
    }
}

void QNCcolorDespeckle::run() {
    if (mode_ == kNone || n_ <= 0 || m_ > width_ || m_ > height_) return;
    const std::uint64_t k = k_;
    for (int y = 0; y <= height_ - m_; y += step_) {
        int nextAllowed = 0;
        for (int x = 0; x <= width_ - m_; ++x) {
            if (x == 0)
                startRow(y);
            else
                stepRight(x - 1, y);
            const int c = grey(x + h_, y + h_);
            const int low = ringMinimum();
            if (!(c + kDarkMargin < low || std::abs(c - low) < kSameMargin)) continue;
            // variance = (K x sum of squares - sum^2) / K^2, in whole numbers:
            // below 100 exactly when the numerator is below 100 K^2.
            if (x < nextAllowed || k * sumOfSquares_ - sum_ * sum_ >= kEvenRing * k * k) continue;
            paint(x, y, static_cast<std::uint8_t>((k / 2 + sum_) / k));
            nextAllowed = x + step_;
        }
    }
}

void QNCcolorDespeckle::writeBack() {
    if (mode_ == kNone) return;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const std::size_t i = at(x, y);
            if (mode_ == kGrey)
                image_.setPixel(x, y, outRed_[i], outRed_[i], outRed_[i]);
            else
                image_.setPixel(x, y, outRed_[i], outGreen_[i], outBlue_[i]);
        }
    }
}
