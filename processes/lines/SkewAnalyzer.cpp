// SkewAnalyzer: component labelling and the Hough vote ("Angle"), the line
// signature with its length and angle trimming and the weighted line angle
// ("Lines").
#include "processes/lines/SkewAnalyzer.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <utility>

namespace {

constexpr int kSeedGrid = 4;
constexpr int kMaxComponents = 65534;
constexpr int kMaxComponentExtent = 101;  // boxes this wide or high are not characters
constexpr std::size_t kLeastBoxes = 50;   // the dummy box counts
constexpr double kAngleStep = 1.0 / 7.0;  // Hough trial angle step, degrees
constexpr std::size_t kTrimLeast = 100;
constexpr double kDegreesPerRadian = 57.29577951308232;

void ForwardProgress(void* context, int percent) { static_cast<CZRProgressTracker*>(context)->reportProgress(percent); }

// Index into a sorted list of n values at fraction q, clamped to 0 .. n-1.
std::size_t QuantileIndex(std::size_t n, double q) {
    const auto k = static_cast<long long>(static_cast<double>(n - 1) * q);
    return static_cast<std::size_t>(std::clamp<long long>(k, 0, static_cast<long long>(n) - 1));
}

}  // namespace

SkewAnalyzer::SkewAnalyzer(CZRProgressTracker* owner, Mode mode) : mode_(mode), owner_(owner) {}

SkewAnalyzer::~SkewAnalyzer() = default;

void SkewAnalyzer::report(int percent) const {
    if (owner_) owner_->reportProgress(percent);
}
void SkewAnalyzer::pushRange(int low, int high) const {
    if (owner_) owner_->pushRange(low, high);
}
void SkewAnalyzer::replaceRange(int low, int high) const {
    if (owner_) owner_->replaceRange(low, high);
}
void SkewAnalyzer::popRange() const {
    if (owner_) owner_->popRange();
}

int SkewAnalyzer::roundHalfAway(double value) {
    const double magnitude = std::abs(value);
    const double whole = std::floor(magnitude);
    const int rounded = static_cast<int>(whole) + (magnitude - whole >= 0.5 ? 1 : 0);
    return value < 0 ? -rounded : rounded;
}

double SkewAnalyzer::contributedAngle(const LineRecord& record) {
    if (record.orientation == 0) return record.angle;
    double angle = record.angle;
    while (angle < 0) angle += std::numbers::pi;
    while (angle > std::numbers::pi) angle -= std::numbers::pi;
    return angle - std::numbers::pi / 2;
}

void SkewAnalyzer::attach(PixelImage* image) {
    image_ = image;
    if (!image) {
        width_ = height_ = 0;
        return;
    }
    width_ = static_cast<std::uint16_t>(image->viewWidth());
    height_ = static_cast<std::uint16_t>(image->viewHeight());
}

std::uint16_t SkewAnalyzer::labelAt(int x, int y) const {
    return labels_[static_cast<std::size_t>(x) * height_ + static_cast<std::size_t>(y)];
}

int SkewAnalyzer::measure(PixelImage* image) {
    if (!image) throw CZRException(IDS_UNKNOWN_INTERNAL_ERROR);
    attach(image);
    if (width_ == 0 || height_ == 0) throw CZRException(IDS_INVALID_DIMENSIONS);
    return mode_ == kAngle ? measureAngle() : measureLines();
}

int SkewAnalyzer::measureAngle() {
    boxes_.reserve(1024);
    const std::size_t cells = static_cast<std::size_t>(width_) * height_;
    labels_.resize(cells);  // a failure is the handler chain's "Out of memory"
    report(15);
    report(20);
    std::fill(labels_.begin(), labels_.end(), std::uint16_t{0});
    pushRange(25, 50);
    labelComponents();
    replaceRange(50, 75);
    const int angle = houghSkew();
    popRange();
    report(75);
    labels_ = {};
    return angle;
}

void SkewAnalyzer::configureLineSig(LineSig& sig) {
    sig.wantHorizontal = true;
    sig.wantVertical = true;
    sig.bothViews = true;
    sig.minLengthH = sig.minLengthV = 100;
    sig.mergeGap = 20;
    sig.mergeOffset = 5;
    sig.rowStep = 1;
    sig.cleanRunLength = 5;
    sig.maxTransitions = 1;
    sig.columnSpacing = 16;
    sig.probeHalfWidth = 8;
    sig.skipAfterHit = 10;
    sig.edgeSearchDepth = 5;
    sig.hitQuota = 12;
    sig.mergePasses = 0;
}

int SkewAnalyzer::measureLines() {
    report(5);
    lineSig_ = std::make_unique<LineSig>(image_);
    LineSig& sig = *lineSig_;
    configureLineSig(sig);
    if (owner_) sig.setProgressHook(&ForwardProgress, owner_);
    pushRange(5, 80);
    sig.create();
    if (sig.horizontal().size() + sig.vertical().size() > kTrimLeast) filterSegments();
    replaceRange(80, 90);
    const int angle = lineSkew();
    report(90);
    popRange();
    lineSig_.reset();
    return angle;
}

namespace {

// White at view (x, y) through the image's accessor (any depth and view).
struct AccessorPixels {
    const PixelImage& image;
    bool white(int x, int y) const { return image.isWhite(x, y); }
};

// 1-bit page in the plain view: the same bit read straight from the row
// (MSB first, set = white).
struct PlainBitPixels {
    const std::uint8_t* const* rows;
    bool white(int x, int y) const { return (rows[y][x >> 3] & (0x80u >> (x & 7))) != 0; }
};

}  // namespace

// Flood fill from a seed: every 8-connected dark pixel gets the label and
// widens the component's box. Neighbours in the order right, left, down, up,
// up-left, up-right, down-left, down-right; -1 compares as outside.
template <class Pixels>
void SkewAnalyzer::floodFill(const Pixels& pixels, int seedX, int seedY, std::uint16_t label) {
    static constexpr int kDx[8] = {1, -1, 0, 0, -1, 1, -1, 1};
    static constexpr int kDy[8] = {0, 0, 1, -1, -1, -1, 1, 1};
    const unsigned w = width_;
    const unsigned h = height_;
    ComponentBox& box = boxes_.back();
    if (queue_.empty()) queue_.resize(1024);
    std::size_t head = 0;
    std::size_t count = 0;
    const auto push = [&](unsigned x, unsigned y) {
        if (count == queue_.size()) {
            // Full: unroll the ring into a twice larger one.
            std::vector<std::uint32_t> larger(queue_.size() * 2);
            for (std::size_t i = 0; i < count; ++i) larger[i] = queue_[(head + i) % queue_.size()];
            queue_.swap(larger);
            head = 0;
        }
        queue_[(head + count) % queue_.size()] = x << 16 | y;
        ++count;
    };
    labels_[static_cast<std::size_t>(seedX) * h + static_cast<std::size_t>(seedY)] = label;
    push(static_cast<unsigned>(seedX), static_cast<unsigned>(seedY));
    while (count != 0) {
        const std::uint32_t front = queue_[head];
        head = (head + 1) % queue_.size();
        --count;
        const int x = static_cast<int>(front >> 16);
        const int y = static_cast<int>(front & 0xFFFFu);
        labels_[static_cast<std::size_t>(x) * h + static_cast<std::size_t>(y)] = label;
        for (int n = 0; n < 8; ++n) {
            const int nx = x + kDx[n];
            const int ny = y + kDy[n];
            if (static_cast<unsigned>(nx) >= w || static_cast<unsigned>(ny) >= h) continue;
            std::uint16_t& cell = labels_[static_cast<std::size_t>(nx) * h + static_cast<std::size_t>(ny)];
            if (cell != 0 || pixels.white(nx, ny)) continue;
            cell = label;
            box.xmin = std::min<std::uint16_t>(box.xmin, static_cast<std::uint16_t>(nx));
            box.xmax = std::max<std::uint16_t>(box.xmax, static_cast<std::uint16_t>(nx));
            box.ymin = std::min<std::uint16_t>(box.ymin, static_cast<std::uint16_t>(ny));
            box.ymax = std::max<std::uint16_t>(box.ymax, static_cast<std::uint16_t>(ny));
            push(static_cast<unsigned>(nx), static_cast<unsigned>(ny));
        }
    }
}

// Seeds on a 4 x 4 grid, column by column; each dark unlabelled seed starts a
// new component (entry 0 of the box list is a dummy, so labels start at 1).
// Seeds are read through the image's cursor, neighbours by position.
void SkewAnalyzer::labelComponents() {
    boxes_.clear();
    boxes_.push_back({0, 0, 0, 0});
    componentCount_ = 0;
    if (labels_.size() != static_cast<std::size_t>(width_) * height_) labels_.assign(std::size_t{width_} * height_, 0);
    if (image_->bitCount() == 1 && !image_->rotatedView()) {
        std::vector<const std::uint8_t*> rows(height_);
        for (int i = 0; i < height_; ++i) rows[static_cast<std::size_t>(i)] = image_->row(i);
        labelFrom(PlainBitPixels{rows.data()});
    } else {
        labelFrom(AccessorPixels{*image_});
    }
    queue_ = {};
}

template <class Pixels>
void SkewAnalyzer::labelFrom(const Pixels& pixels) {
    PixelCursor cursor;
    CursorScope scope(*image_, &cursor);
    for (int x = 0; x < width_; x += kSeedGrid) {
        if (x % 200 == 0) report(x * 100 / width_);
        for (int y = 0; y < height_; y += kSeedGrid) {
            if (componentCount_ >= kMaxComponents) return;
            if (labelAt(x, y) != 0) continue;
            cursor.x = static_cast<std::uint16_t>(x);
            cursor.y = static_cast<std::uint16_t>(y);
            if (image_->isWhiteAt()) continue;
            ++componentCount_;
            const auto ux = static_cast<std::uint16_t>(x);
            const auto uy = static_cast<std::uint16_t>(y);
            boxes_.push_back({ux, ux, uy, uy});
            floodFill(pixels, x, y, static_cast<std::uint16_t>(componentCount_));
        }
    }
}

// Hough transform of the bottom-centre points of character-sized boxes over
// trial angles -angleRange .. +angleRange in steps of 1/7 degree; the angle
// row that holds most of the strongest cells (1 % of all votes) wins.
int SkewAnalyzer::houghSkew() {
    std::erase_if(boxes_, [](const ComponentBox& b) {
        return b.xmax - b.xmin >= kMaxComponentExtent || b.ymax - b.ymin >= kMaxComponentExtent;
    });
    if (boxes_.size() < kLeastBoxes) return 0;
    if (angleRange <= 0) throw CZRException(IDS_DESKEW_ANGLE_RANGE);

    // Per trial angle: sin(90 - theta) and tan(theta), computed once.
    std::vector<double> cosines;
    std::vector<double> tangents;
    for (double theta = -angleRange; theta <= angleRange; theta += kAngleStep) {
        cosines.push_back(std::sin((90.0 - theta) * std::numbers::pi / 180.0));
        tangents.push_back(std::tan(theta * std::numbers::pi / 180.0));
    }
    const std::size_t rows = cosines.size();
    const auto rhoMax = static_cast<std::size_t>(
        std::floor(std::sqrt(static_cast<double>(width_) * width_ + static_cast<double>(height_) * height_)));
    std::vector<std::int32_t> cells(rows * rhoMax, 0);
    report(10);

    long long votes = 0;
    const std::size_t n = boxes_.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 200 == 0) report(10 + static_cast<int>(40 * i / n));
        const ComponentBox& b = boxes_[i];
        const int xc = (b.xmin + b.xmax) / 2;
        const int yb = b.ymax;
        if (xc == 0 || yb == 0) continue;
        for (std::size_t j = 0; j < rows; ++j) {
            // Truncated toward zero, so -0.5 lands in cell 0.
            const auto rho = static_cast<long long>(cosines[j] * (tangents[j] * xc + yb));
            if (rho < 0 || static_cast<std::size_t>(rho) >= rhoMax) continue;
            ++cells[j * rhoMax + static_cast<std::size_t>(rho)];
            ++votes;
        }
    }
    report(50);
    report(60);

    // Peak picking: repeatedly the largest cell, first in row-then-column
    // order, until the picked cells hold 1 % of the votes. Each row keeps its
    // largest count and that count's first column, so a pick rescans one row.
    std::vector<std::size_t> peaks;
    const long long need = static_cast<long long>(0.01 * static_cast<double>(votes));
    if (need > 0 && rhoMax > 0) {
        std::vector<std::int32_t> rowMax(rows, 0);
        std::vector<std::size_t> rowArg(rows, 0);
        const auto rescan = [&](std::size_t j) {
            const std::int32_t* row = &cells[j * rhoMax];
            std::int32_t best = row[0];
            std::size_t arg = 0;
            for (std::size_t r = 1; r < rhoMax; ++r) {
                if (row[r] > best) {
                    best = row[r];
                    arg = r;
                }
            }
            rowMax[j] = best;
            rowArg[j] = arg;
        };
        for (std::size_t j = 0; j < rows; ++j) rescan(j);
        long long picked = 0;
        while (picked < need) {
            std::size_t bestRow = 0;
            for (std::size_t j = 1; j < rows; ++j)
                if (rowMax[j] > rowMax[bestRow]) bestRow = j;
            const std::int32_t count = rowMax[bestRow];
            if (count == 0) break;
            peaks.push_back(bestRow);
            picked += count;
            cells[bestRow * rhoMax + rowArg[bestRow]] = 0;
            rescan(bestRow);
        }
    }
    report(75);

    std::vector<int> occurrences(rows, 0);
    for (std::size_t j : peaks) ++occurrences[j];
    report(80);
    std::size_t winner = 0;
    for (std::size_t j = 1; j < rows; ++j)
        if (occurrences[j] > occurrences[winner]) winner = j;
    cells = {};
    report(100);
    if (peaks.empty()) throw CZRException(IDS_UNKNOWN_INTERNAL_ERROR);
    return roundHalfAway(static_cast<double>(winner) / 7.0 - angleRange);
}

// With many segments, drops the shortest quarter and then the angles outside
// the middle three quarters.
void SkewAnalyzer::filterSegments() {
    if (!lineSig_) return;
    LineSig::Records* lists[] = {&lineSig_->horizontal(), &lineSig_->vertical()};

    std::vector<double> lengths;
    for (LineSig::Records* list : lists)
        for (const auto& r : *list)
            if (!r->deleted()) lengths.push_back(r->length);
    if (lengths.size() >= kTrimLeast) {
        std::sort(lengths.begin(), lengths.end());
        const double q = lengths[QuantileIndex(lengths.size(), 0.25)];
        for (LineSig::Records* list : lists)
            for (auto& r : *list)
                if (!r->deleted() && r->length < q) r->markDeleted();
    }

    std::vector<double> angles;
    for (LineSig::Records* list : lists)
        for (const auto& r : *list)
            if (!r->deleted()) angles.push_back(contributedAngle(*r));
    if (angles.size() >= kTrimLeast) {
        std::sort(angles.begin(), angles.end());
        const double lo = angles[QuantileIndex(angles.size(), 0.125)];
        const double hi = angles[QuantileIndex(angles.size(), 0.875)];
        for (LineSig::Records* list : lists) {
            for (auto& r : *list) {
                if (r->deleted()) continue;
                const double a = contributedAngle(*r);
                if (a < lo || a > hi) r->markDeleted();
            }
        }
    }
}

// The angle of the live segments weighted by their squared lengths, when they
// cover a quarter of the page width and agree (spread below the mean).
int SkewAnalyzer::lineSkew() {
    report(0);
    if (!lineSig_) return 0;
    lineSig_->measureSegments();
    LineSig::Records* lists[] = {&lineSig_->horizontal(), &lineSig_->vertical()};

    std::size_t n = 0;
    double sumL = 0.0;
    double sumL2 = 0.0;
    double sumAngle = 0.0;
    for (LineSig::Records* list : lists) {
        for (const auto& r : *list) {
            if (r->deleted()) continue;
            ++n;
            sumL += r->length;
            sumL2 += r->length * r->length;
            sumAngle += contributedAngle(*r);
        }
    }
    if (n == 0 || sumL / width_ < 0.25) return 0;
    const double mean = sumAngle / static_cast<double>(n);
    report(30);

    double weighted = 0.0;
    double spread = 0.0;
    for (std::size_t i = 0; i < 2; ++i) {
        for (const auto& r : *lists[i]) {
            if (r->deleted()) continue;
            const double a = contributedAngle(*r);
            weighted += r->length * r->length / sumL2 * a;
            spread += (a - mean) * (a - mean);
        }
        report(i == 0 ? 60 : 100);
    }
    const double sd = std::sqrt(spread / static_cast<double>(n));
    // |sd / mean| must be below 1; a zero mean never is.
    if (mean == 0.0 || !(std::abs(sd / mean) < 1.0)) return 0;
    return roundHalfAway(weighted * kDegreesPerRadian);
}
