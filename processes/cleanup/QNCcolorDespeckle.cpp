// QNCcolorDespeckle: planes, the row engine, the column-by-column engine and
// the write-back.
#include "processes/cleanup/QNCcolorDespeckle.h"

#include "image/PixelImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The row loops below are written for the vectoriser: plain indexed loops over
// byte and 32-bit arrays, no calls, selects instead of branches. GCC vectorises
// them fully only at its -O3 cost model; clang does at -O2.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize", "vect-cost-model=dynamic")
#endif

namespace {
constexpr int kDarkMargin = 30;           // centre + 30 below the ring's darkest: a dark speck
constexpr int kSameMargin = 10;           // centre within 10 of the ring's darkest: no real contrast
constexpr std::uint64_t kEvenRing = 100;  // ring variance below this: an even background

// The ring of each window from its side columns (column x and x + right) and
// its top and bottom runs. The arrays do not overlap.
void CombineRing(const std::uint8_t* __restrict columnMin, const std::uint32_t* __restrict columnSum,
                 const std::uint32_t* __restrict columnSquares, int right, const std::uint8_t* __restrict topMin,
                 const std::uint32_t* __restrict topSum, const std::uint32_t* __restrict topSquares,
                 const std::uint8_t* __restrict bottomMin, const std::uint32_t* __restrict bottomSum,
                 const std::uint32_t* __restrict bottomSquares, std::uint8_t* __restrict low,
                 std::uint32_t* __restrict sum, std::uint32_t* __restrict squares, int windows) {
    for (int x = 0; x < windows; ++x) {
        const std::uint8_t a = columnMin[x];
        const std::uint8_t b = columnMin[x + right];
        const std::uint8_t c = topMin[x];
        const std::uint8_t d = bottomMin[x];
        const std::uint8_t ab = a < b ? a : b;
        const std::uint8_t cd = c < d ? c : d;
        low[x] = ab < cd ? ab : cd;
        sum[x] = columnSum[x] + columnSum[x + right] + topSum[x] + bottomSum[x];
        squares[x] = columnSquares[x] + columnSquares[x + right] + topSquares[x] + bottomSquares[x];
    }
}

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
    if (!image.rotatedView()) return;  // painted in place, read row by row as the window comes down
    // The turned view is read once into an output plane, painted there and
    // written back. A failed allocation is the handler chain's "Out of memory".
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    output_.reset(new std::uint8_t[pixels * static_cast<std::size_t>(channels())]);
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* out = outputRow(y);
        for (int x = 0; x < width_; ++x) {
            std::uint8_t red = 0;
            std::uint8_t green = 0;
            std::uint8_t blue = 0;
            image.getPixel(x, y, red, green, blue);
            if (mode_ == kGrey) {
                out[x] = red;
            } else {
                out[3 * x] = blue;
                out[3 * x + 1] = green;
                out[3 * x + 2] = red;
            }
        }
    }
}

// Copies page rows up to `last` as read, and their grey levels, into the row
// slots (row r in slot r modulo M). A window row at y reads rows y .. y + M - 1
// and paints rows y + 1 .. y + N, so a row is copied before any paint reaches
// it and its slot is reused only once no window reads it.
void QNCcolorDespeckle::loadRows(int last) {
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels());
    for (int r = loadedUpTo_ + 1; r <= last; ++r) {
        const std::uint8_t* page = outputRow(r);
        std::uint8_t* grey = greyRows_.data() + slotOf(r);
        if (mode_ == kGrey) {
            std::memcpy(grey, page, rowBytes);
            continue;
        }
        std::uint8_t* source = sourceRows_.data() + 3 * slotOf(r);
        std::memcpy(source, page, rowBytes);
        for (int x = 0; x < width_; ++x) grey[x] = GreyOf(source[3 * x + 2], source[3 * x + 1], source[3 * x]);
    }
    loadedUpTo_ = std::max(loadedUpTo_, last);
}

std::uint8_t* QNCcolorDespeckle::outputRow(int y) const {
    if (!output_) return image_.row(y);
    return output_.get() +
           static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * static_cast<std::size_t>(channels());
}

void QNCcolorDespeckle::run() {
    if (mode_ == kNone || n_ <= 0 || m_ > width_ || m_ > height_) return;
    const auto slots = static_cast<std::size_t>(m_) * static_cast<std::size_t>(width_);
    greyRows_.assign(slots, 0);
    if (mode_ == kColour) sourceRows_.assign(slots * 3, 0);
    loadedUpTo_ = -1;
    if (m_ == n_ + 2 && n_ <= kRowEngineMaxSide)
        runRows();
    else
        runColumns();
}

// A plain view was painted in place; a turned one is written pixel by pixel.
void QNCcolorDespeckle::writeBack() {
    if (mode_ == kNone || !output_) return;
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* out = outputRow(y);
        for (int x = 0; x < width_; ++x) {
            if (mode_ == kGrey)
                image_.setPixel(x, y, out[x], out[x], out[x]);
            else
                image_.setPixel(x, y, out[3 * x + 2], out[3 * x + 1], out[3 * x]);
        }
    }
}

// ---------------------------------------------------------------------------
// Row engine (ring one pixel thick, N <= kRowEngineMaxSide). For the window row
// at y the windows are x = 0 .. W - M; window x has its top ring row at y, its
// bottom ring row at y + M - 1, its side columns x and x + M - 1 over the centre
// rows y + 1 .. y + N, and its centre square at columns x + 1 .. x + N.

void QNCcolorDespeckle::runRows() {
    const int windows = width_ - m_ + 1;
    const auto columns = static_cast<std::size_t>(width_);
    const auto count = static_cast<std::size_t>(windows);
    const auto bytes = columns * static_cast<std::size_t>(channels());
    columnMin_.assign(columns, 0);
    columnSum_.assign(columns, 0);
    columnSquares_.assign(columns, 0);
    ringMin_.assign(count, 0);
    ringSum_.assign(count, 0);
    ringSquares_.assign(count, 0);
    mean_.assign(count, 0);
    acts_.assign(count, 0);
    painted_.assign(count * static_cast<std::size_t>(channels()), 0);
    tone_.assign(count * static_cast<std::size_t>(channels()), 0);
    paintMask_.assign(bytes, 0);
    paintTone_.assign(bytes, 0);
    const auto slots = static_cast<std::size_t>(m_);
    rowOfSlot_.assign(slots, -1);
    runMin_.assign(slots * count, 0);
    runSum_.assign(slots * count, 0);
    runSquares_.assign(slots * count, 0);
    if (mode_ == kColour) {
        bestKey_.assign(count, 0);
        bestPosition_.assign(count, 0);
        // Ring order: top row, left column, bottom row, right column.
        ringDx_.clear();
        ringDy_.clear();
        const auto add = [this](int dx, int dy) {
            ringDx_.push_back(static_cast<std::int16_t>(dx));
            ringDy_.push_back(static_cast<std::int16_t>(dy));
        };
        for (int i = 0; i < m_; ++i) add(i, 0);
        for (int j = 1; j <= n_; ++j) add(0, j);
        for (int i = 0; i < m_; ++i) add(i, m_ - 1);
        for (int j = 1; j <= n_; ++j) add(m_ - 1, j);
    }
    for (int y = 0; y <= height_ - m_; y += step_) {
        loadRows(y + m_ - 1);
        gatherCentreColumns(y);
        ringStatistics(y, windows);
        decide(y, windows);
        choosePainted(windows);
        if (mode_ == kColour) chooseColours(y, windows);
        paintRow(y, windows);
    }
}

// Minimum, sum and sum of squares of every page column over the centre rows.
void QNCcolorDespeckle::gatherCentreColumns(int y) {
    const int width = width_;
    const int lastRow = y + n_;
    std::uint8_t* __restrict low = columnMin_.data();
    std::uint32_t* __restrict sum = columnSum_.data();
    std::uint32_t* __restrict squares = columnSquares_.data();
    const std::uint8_t* __restrict first = greyRow(y + 1);
    for (int c = 0; c < width; ++c) {
        const std::uint32_t v = first[c];
        low[c] = first[c];
        sum[c] = v;
        squares[c] = v * v;
    }
    for (int r = y + 2; r <= lastRow; ++r) {
        const std::uint8_t* __restrict row = greyRow(r);
        for (int c = 0; c < width; ++c) {
            const std::uint8_t v = row[c];
            low[c] = v < low[c] ? v : low[c];
            sum[c] += v;
            squares[c] += static_cast<std::uint32_t>(v) * v;
        }
    }
}

// Minimum, sum and sum of squares of the M pixels starting at every window
// column of page row r. A row is the top of one window row and the bottom of
// another, so the last M rows computed are kept, one slot per row modulo M.
int QNCcolorDespeckle::rowRun(int r, int windows) {
    const int slot = r % m_;
    if (rowOfSlot_[static_cast<std::size_t>(slot)] == r) return slot;
    rowOfSlot_[static_cast<std::size_t>(slot)] = r;
    const std::size_t offset = static_cast<std::size_t>(slot) * static_cast<std::size_t>(windows);
    std::uint8_t* __restrict low = runMin_.data() + offset;
    std::uint32_t* __restrict sum = runSum_.data() + offset;
    std::uint32_t* __restrict squares = runSquares_.data() + offset;
    const std::uint8_t* __restrict row = greyRow(r);
    for (int x = 0; x < windows; ++x) {
        const std::uint32_t v = row[x];
        low[x] = row[x];
        sum[x] = v;
        squares[x] = v * v;
    }
    const int side = m_;
    for (int i = 1; i < side; ++i) {
        const std::uint8_t* __restrict t = row + i;
        for (int x = 0; x < windows; ++x) {
            const std::uint8_t v = t[x];
            low[x] = v < low[x] ? v : low[x];
            sum[x] += v;
            squares[x] += static_cast<std::uint32_t>(v) * v;
        }
    }
    return slot;
}

// Ring minimum, sum and sum of squares of every window of the row: the two
// side columns over the centre rows plus the runs of the top and bottom rows.
void QNCcolorDespeckle::ringStatistics(int y, int windows) {
    const auto top = static_cast<std::size_t>(rowRun(y, windows)) * static_cast<std::size_t>(windows);
    const auto bottom = static_cast<std::size_t>(rowRun(y + m_ - 1, windows)) * static_cast<std::size_t>(windows);
    CombineRing(columnMin_.data(), columnSum_.data(), columnSquares_.data(), m_ - 1, runMin_.data() + top,
                runSum_.data() + top, runSquares_.data() + top, runMin_.data() + bottom, runSum_.data() + bottom,
                runSquares_.data() + bottom, ringMin_.data(), ringSum_.data(), ringSquares_.data(), windows);
}

// Candidate (centre far below or close to the ring's darkest), even ring
// (K x sum of squares - sum^2 < 100 K^2, the variance test in whole numbers)
// and the rounded mean, for every window.
void QNCcolorDespeckle::decide(int y, int windows) {
    const std::uint8_t* __restrict centre = greyRow(y + h_) + h_;
    const std::uint8_t* __restrict low = ringMin_.data();
    const std::uint32_t* __restrict sum = ringSum_.data();
    const std::uint32_t* __restrict squares = ringSquares_.data();
    std::uint8_t* __restrict acts = acts_.data();
    std::uint8_t* __restrict mean = mean_.data();
    const auto k = static_cast<std::uint32_t>(k_);
    const std::uint32_t evenLimit = static_cast<std::uint32_t>(kEvenRing) * k * k;
    const std::uint32_t reciprocal = MeanReciprocal(k);
    for (int x = 0; x < windows; ++x) {
        const std::uint32_t c = centre[x];
        const std::uint32_t m = low[x];
        const std::uint32_t s = sum[x];
        // |c - m| < 10 as one unsigned comparison.
        const std::uint32_t candidate = static_cast<std::uint32_t>(c + kDarkMargin < m) |
                                        static_cast<std::uint32_t>(c - m + (kSameMargin - 1) < 2 * kSameMargin - 1);
        const std::uint32_t even = static_cast<std::uint32_t>(k * squares[x] - s * s < evenLimit);
        acts[x] = static_cast<std::uint8_t>(0u - (candidate & even));
        mean[x] = static_cast<std::uint8_t>(((k / 2 + s) * reciprocal) >> kMeanShift);
    }
}

// Which qualifying windows paint: after a paint at x the next may not come
// before x + step. With step 1 every qualifying window paints.
void QNCcolorDespeckle::choosePainted(int windows) {
    const int channels = this->channels();
    std::uint8_t* painted = painted_.data();
    const std::uint8_t* acts = acts_.data();
    if (step_ == 1) {
        if (channels == 1) {
            std::memcpy(painted, acts, static_cast<std::size_t>(windows));
        } else {
            for (int x = 0; x < windows; ++x) painted[3 * x] = painted[3 * x + 1] = painted[3 * x + 2] = acts[x];
        }
        return;
    }
    int nextAllowed = 0;
    for (int x = 0; x < windows; ++x) {
        std::uint8_t paints = 0;
        if (acts[x] != 0 && x >= nextAllowed) {
            paints = 0xFF;
            nextAllowed = x + step_;
        }
        for (int b = 0; b < channels; ++b) painted[channels * x + b] = paints;
    }
}

// The colour each window would paint: the source pixel of the first ring pixel,
// in ring order, whose level comes first in the nearest-level search around
// the mean. The search order is kept as a byte: 2 d when the level lies d above
// the mean, 2 d + 1 when d below (levels wrapping), capped at 255. The cap is
// never the answer for a painting window: its ring variance is below 100 over
// at most 128 pixels, so every ring level lies within 114 of the mean.
void QNCcolorDespeckle::chooseColours(int y, int windows) {
    std::uint8_t* __restrict best = bestKey_.data();
    std::uint8_t* __restrict position = bestPosition_.data();
    const std::uint8_t* __restrict mean = mean_.data();
    const std::uint8_t* __restrict painted = painted_.data();
    std::memset(best, 0xFF, static_cast<std::size_t>(windows));
    std::memset(position, 0, static_cast<std::size_t>(windows));
    for (std::size_t p = 0; p < ringDx_.size(); ++p) {
        const std::uint8_t* __restrict ring = greyRow(y + ringDy_[p]) + ringDx_[p];
        const auto index = static_cast<std::uint8_t>(p);
        for (int x = 0; x < windows; ++x) {
            const std::uint8_t v = ring[x];
            const std::uint8_t mu = mean[x];
            const auto up = static_cast<std::uint8_t>(v - mu);
            const auto down = static_cast<std::uint8_t>(mu - v);
            const std::uint8_t d = up < down ? up : down;
            const auto below = static_cast<std::uint8_t>(up > down);
            const auto capped = static_cast<std::uint8_t>(0u - static_cast<unsigned>(d >= 128));
            const auto order = static_cast<std::uint8_t>(((d + d + below) & ~capped) | capped);
            const auto better = static_cast<std::uint8_t>(0u - static_cast<unsigned>(order < best[x]));
            best[x] = static_cast<std::uint8_t>((order & better) | (best[x] & ~better));
            position[x] = static_cast<std::uint8_t>((index & better) | (position[x] & ~better));
        }
        // On clean paper the first ring pixels usually hold the mean itself:
        // once every painting window has found it, later pixels change nothing.
        std::uint8_t open = 0;
        for (int x = 0; x < windows; ++x) open |= static_cast<std::uint8_t>(best[x] & painted[3 * x]);
        if (open == 0) break;
    }
    std::uint8_t* tone = tone_.data();
    for (int x = 0; x < windows; ++x) {
        if (painted[3 * x] == 0) continue;
        const auto p = static_cast<std::size_t>(position[x]);
        const std::uint8_t* source = sourceRow(y + ringDy_[p]) + 3 * static_cast<std::size_t>(x + ringDx_[p]);
        std::memcpy(tone + 3 * static_cast<std::size_t>(x), source, 3);
    }
}

// Lays the row's paints onto the centre rows. Page column c gets the tone of
// the last painting window that covers it (windows c - N .. c - 1, the later
// one painted over the earlier); folded into one mask and tone row, then laid
// onto each of the N rows.
void QNCcolorDespeckle::paintRow(int y, int windows) {
    const int channels = this->channels();
    const int bytes = width_ * channels;
    std::uint8_t* __restrict mask = paintMask_.data();
    std::uint8_t* __restrict tone = paintTone_.data();
    const std::uint8_t* __restrict painted = painted_.data();
    const std::uint8_t* __restrict windowTone = mode_ == kColour ? tone_.data() : mean_.data();
    std::memset(mask, 0, static_cast<std::size_t>(bytes));
    bool any = false;
    for (int x = 0; x < windows && !any; ++x) any = painted[channels * x] != 0;
    if (!any) return;
    for (int j = n_; j >= 1; --j) {
        const int shift = j * channels;
        const int end = std::min(bytes, (windows + j) * channels);
        for (int b = shift; b < end; ++b) {
            const std::uint8_t p = painted[b - shift];
            mask[b] |= p;
            tone[b] = static_cast<std::uint8_t>((windowTone[b - shift] & p) | (tone[b] & ~p));
        }
    }
    const int first = channels;
    const int last = std::min(bytes, (windows + n_) * channels);
    for (int r = y + 1; r <= y + n_; ++r) {
        std::uint8_t* __restrict out = outputRow(r);
        for (int b = first; b < last; ++b)
            out[b] = static_cast<std::uint8_t>((tone[b] & mask[b]) | (out[b] & ~mask[b]));
    }
}

// ---------------------------------------------------------------------------
// Column-by-column engine (any ring thickness, any centre size).

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

void QNCcolorDespeckle::fillSquare(int x, int y, const std::uint8_t* value) {
    const auto channels = static_cast<std::size_t>(this->channels());
    for (int r = y + t_; r < y + t_ + n_; ++r)
        for (int c = x + t_; c < x + t_ + n_; ++c)
            std::memcpy(outputRow(r) + static_cast<std::size_t>(c) * channels, value, channels);
}

void QNCcolorDespeckle::paintFromHistogram(int x, int y, std::uint8_t mean) {
    if (mode_ == kGrey) {
        fillSquare(x, y, &mean);
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
    const std::uint8_t* source = nullptr;
    forEachRingPixel(x, y, [&](int c, int r) {
        if (grey(c, r) != level) return false;
        source = sourceRow(r) + 3 * static_cast<std::size_t>(c);
        return true;
    });
    fillSquare(x, y, source);
}

void QNCcolorDespeckle::runColumns() {
    const std::uint64_t k = k_;
    for (int y = 0; y <= height_ - m_; y += step_) {
        loadRows(y + m_ - 1);
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
            paintFromHistogram(x, y, static_cast<std::uint8_t>((k / 2 + sum_) / k));
            nextAllowed = x + step_;
        }
    }
}
