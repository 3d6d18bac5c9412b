// LineSig: the probe, the tracing of each hit, merging, the length filter and
// the measurement of the segments. The scan is written once over a pixel
// source type: the attached image's own accessor (any depth, BoolImage) or,
// for 1-bit pages, a direct read of the DIB rows (MSB first, set = white),
// which reads the very same bit without the indirect call.
#include "processes/lines/LineSig.h"

#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// --- pixel sources: white(x, y) in view coordinates ---

// Through the attached image's accessor table.
struct TestPixels {
    bool (*test)(const void* image, int x, int y);
    const void* image;
    bool white(int x, int y) const { return test(image, x, y); }
};

// 1-bit DIB, plain view: rows[y] is page row y from the top.
struct PlainBits {
    const std::uint8_t* const* rows;
    bool white(int x, int y) const { return (rows[y][x >> 3] & (0x80u >> (x & 7))) != 0; }
};

// 1-bit DIB, quarter-turned view: view (x, y) is memory row x (bottom row
// first), bit y, exactly as PixelImage's rotated accessors read it.
struct RotatedBits {
    const std::uint8_t* const* rows;
    bool white(int x, int y) const { return (rows[x][y >> 3] & (0x80u >> (y & 7))) != 0; }
};

// Anything outside the view reads as white; used when the parameters would
// let a probe reach past the view's edges.
template <class Inner>
struct CheckedPixels {
    Inner inner;
    unsigned width;
    unsigned height;
    bool white(int x, int y) const {
        return static_cast<unsigned>(x) >= width || static_cast<unsigned>(y) >= height || inner.white(x, y);
    }
};

bool PixelImageTest(const void* image, int x, int y) { return static_cast<const PixelImage*>(image)->isWhite(x, y); }
bool BoolImageTest(const void* image, int x, int y) { return static_cast<const BoolImage*>(image)->get(x, y); }
[[noreturn]] bool NoImageTest(const void*, int, int) {
    throw QNCException("No Image Defined!", IDS_UNKNOWN_INTERNAL_ERROR);
}

bool ByY1(const std::unique_ptr<LineRecord>& a, const std::unique_ptr<LineRecord>& b) { return a->y1 < b->y1; }
bool ByX1(const std::unique_ptr<LineRecord>& a, const std::unique_ptr<LineRecord>& b) { return a->x1 < b->x1; }

}  // namespace

// One scan of one view over a pixel source. Holds the view's ranges and the
// parameters after the guards that keep every loop finite.
template <class Pixels>
struct LineSig::Scanner {
    LineSig& sig;
    const Pixels& pixels;
    int probeHalfWidth;
    int probeStep;
    int depth;        // edgeSearchDepth
    int cleanRun;     // cleanRunLength
    int transitions;  // maxTransitions
    int needHits;

    // Walks `count` pixels from (x, y) by (dx, dy), expecting `expectWhite`;
    // every pixel of the other colour is one transition and flips the
    // expectation. Returns the index (1-based) of the pixel at which the count
    // first exceeds the allowance, 0 when it never does; `count` and `expect`
    // are left as they stood after the last pixel read.
    int walk(int x, int y, int dx, int dy, int& count, bool& expectWhite) const {
        for (int j = 1; j <= cleanRun; ++j) {
            x += dx;
            y += dy;
            if (pixels.white(x, y) != expectWhite) {
                ++count;
                expectWhite = !expectWhite;
                if (count > transitions) return j;
            }
        }
        return 0;
    }

    // Whether the sample column c finds the edge near row y: first the
    // column beyond the edge, then, if it fails at its j-th pixel, the row
    // just short of that pixel across toward the window's centre.
    bool cleanBeyond(int c, int edgeRow, int along, bool expectWhite, int toward) const {
        int count = 0;
        bool expect = expectWhite;
        const int failed = walk(c, edgeRow, 0, along, count, expect);
        if (failed == 0) return true;
        // Second chance: one transition back, the expectation flipped back.
        --count;
        expect = !expect;
        const int row = edgeRow + along * (failed - 1);
        walk(c, row, toward, 0, count, expect);
        return count <= transitions;
    }

    // Number of sample columns of one probe.
    int samples() const { return probeHalfWidth < 0 ? 0 : 2 * probeHalfWidth / probeStep + 1; }

    // The drift and reach results are those of the last successful probe; a
    // probe stops as soon as the columns left cannot bring enough hits.
    bool probe(int x, int y) const {
        sig.leftDrift_ = sig.rightDrift_ = sig.leftReach_ = sig.rightReach_ = 0;
        int hits = 0;
        int left = samples();
        for (int o = -probeHalfWidth; o <= probeHalfWidth; o += probeStep, --left) {
            if (hits + left < needHits) return false;
            const int c = x + o;
            const int toward = o < 0 ? 1 : -1;
            bool accepted = false;
            int drift = 0;
            if (!pixels.white(c, y)) {
                // Dark: look up for the white above the band.
                for (int k = 1; k < depth; ++k) {
                    const int yy = y - k;
                    if (!pixels.white(c, yy)) continue;
                    if (cleanBeyond(c, yy, -1, true, toward)) {
                        accepted = true;
                        drift = k - 1;
                        break;
                    }
                }
            } else {
                // White: look down for the band's first dark row.
                for (int k = 1; k <= depth; ++k) {
                    const int yy = y + k;
                    if (pixels.white(c, yy)) continue;
                    if (cleanBeyond(c, yy, 1, false, toward)) {
                        accepted = true;
                        drift = 1 - k;
                        break;
                    }
                }
            }
            if (!accepted) continue;
            ++hits;
            if (o < 0) {
                if (-o > sig.leftReach_) {
                    sig.leftReach_ = -o;
                    sig.leftDrift_ = drift;
                }
            } else if (o > sig.rightReach_) {
                sig.rightReach_ = o;
                sig.rightDrift_ = drift;
            }
        }
        return hits >= needHits;
    }
};

LineSig::LineSig(PixelImage* image) {
    horizontal_.clear();
    vertical_.clear();
    setImage(image);
    typeName_.clear();
}

LineSig::~LineSig() { freeRecords(); }

bool LineSig::isEmpty() const { return noHorizontalLines() && noVerticalLines(); }
bool LineSig::noHorizontalLines() const { return horizontal_.empty(); }
bool LineSig::noVerticalLines() const { return vertical_.empty(); }

std::uint16_t LineSig::width() const {
    if (boolImage_) return static_cast<std::uint16_t>(boolImage_->width());
    if (image_) return static_cast<std::uint16_t>(image_->viewWidth());
    return cachedWidth_;
}

std::uint16_t LineSig::height() const {
    if (boolImage_) return static_cast<std::uint16_t>(boolImage_->height());
    if (image_) return static_cast<std::uint16_t>(image_->viewHeight());
    return cachedHeight_;
}

void LineSig::setImage(PixelImage* image) {
    image_ = image;
    if (image) resolution_ = image->xResolution();
    selectPixelTest();
}

void LineSig::setBoolImage(BoolImage* image) {
    boolImage_ = image;
    if (!image) return;
    resolution_ = image->xResolution();
    pixelTest_ = &BoolImageTest;
    pixelTestImage_ = image;
}

bool LineSig::isTransposed() const { return transposed_; }

void LineSig::setTransposed(bool transposed) {
    if (boolImage_) boolImage_->setRotatedView(transposed);
    if (image_) image_->setRotatedView(transposed);
    if (boolImage_ || image_) {
        recacheSize();
    } else {
        std::swap(cachedWidth_, cachedHeight_);
    }
    transposed_ = transposed;
}

void LineSig::recacheSize() {
    cachedWidth_ = width();
    cachedHeight_ = height();
}

void LineSig::selectPixelTest() {
    if (boolImage_) {
        pixelTest_ = &BoolImageTest;
        pixelTestImage_ = boolImage_;
    } else if (image_) {
        pixelTest_ = &PixelImageTest;
        pixelTestImage_ = image_;
    } else {
        pixelTest_ = &NoImageTest;
        pixelTestImage_ = nullptr;
    }
}

void LineSig::freeRecords() {
    horizontal_.clear();
    vertical_.clear();
}

double LineSig::effectiveScanFraction() const {
    if (scanFraction > 1.0) return std::min(std::max(scanFraction / 100.0, 0.05), 1.0);
    return scanFraction;
}

void LineSig::setProgressRange(double lo, double hi) {
    progressLo_ = std::clamp(lo, 0.0, 100.0);
    progressHi_ = std::clamp(hi, 0.0, 100.0);
    if (progressHook_ && progressContext_) progressHook_(progressContext_, static_cast<int>(progressLo_));
}

void LineSig::reportProgress(int percent) {
    if (!progressHook_ || !progressContext_) return;
    const double value =
        percent < 0 ? progressLo_ : progressLo_ + (progressHi_ - progressLo_) * std::min(percent, 100) / 100.0;
    progressHook_(progressContext_, static_cast<int>(value));
}

// Detection: derived values, one scan per wanted view, then merging, the
// length filter, the sort and the measurement.
void LineSig::create() {
    if (created_) throw QNCException("LineSig already created", IDS_UNKNOWN_INTERNAL_ERROR);
    if (!image_ && !boolImage_) throw QNCException("No Image Defined", IDS_UNKNOWN_INTERNAL_ERROR);
    freeRecords();
    selectPixelTest();
    if (wantHorizontal) horizontal_.reserve(1024);
    if (wantVertical) vertical_.reserve(1024);

    imageName_ = image_ ? image_->name().substr(0, kMaxNameLength) : std::string();
    recacheSize();
    typeName_ = "LINES";

    // A column spacing below 1 would divide by zero; negative counts would
    // make the spacing divide by zero below.
    const int spacing = std::max(columnSpacing, 1);
    const double f = effectiveScanFraction();
    countA_ = std::max(static_cast<int>((cachedWidth_ - 2.0 * margin) * f / spacing), 0);
    countB_ = std::max(static_cast<int>((cachedHeight_ - 2.0 * margin) * f / spacing), 0);
    maxTrace_ = cachedWidth_ / (countA_ + 1) + columnSpacing;

    if (!bothViews) {
        scanLines();
    } else {
        const bool remembered = transposed_;
        if (wantHorizontal) {
            setTransposed(false);
            setProgressRange(0, wantVertical ? 50 : 100);
            scanLines();
        }
        if (wantVertical) {
            setTransposed(true);
            setProgressRange(wantHorizontal ? 50 : 0, 100);
            scanLines();
        }
        setTransposed(remembered);
    }

    image_ = nullptr;
    boolImage_ = nullptr;
    selectPixelTest();

    mergeSegments();
    filterByLength();
    compactAndSort();
    measureSegments();
    created_ = true;
}

// Chooses the pixel source for the current view and runs the scan.
void LineSig::scanLines() {
    const int w = width();
    const int h = height();
    const TestPixels test{pixelTest_, pixelTestImage_};

    // Every probe stays inside the view when its reach across (the half width
    // and the second-chance run) fits in the column margin and its reach along
    // (search depth plus clean run) fits in the row margin.
    const int mx = std::max(probeHalfWidth + 1, margin);
    const int my = std::max(edgeSearchDepth + cleanRunLength + 1, margin);
    const bool inside = std::max({probeHalfWidth, cleanRunLength, 0}) <= mx &&
                        std::max(edgeSearchDepth, 0) + std::max(cleanRunLength, 0) <= my;
    if (!inside) {
        scanWith(CheckedPixels<TestPixels>{test, static_cast<unsigned>(w), static_cast<unsigned>(h)}, w, h);
        return;
    }
    if (!boolImage_ && image_ && image_->bitCount() == 1) {
        // Direct reads of the DIB rows: the same bit the accessor would read.
        const int stored = image_->height();
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(stored));
        for (int i = 0; i < stored; ++i) rows[static_cast<std::size_t>(i)] = image_->row(i);
        if (image_->rotatedView()) {
            scanWith(RotatedBits{rows.data()}, w, h);
        } else {
            scanWith(PlainBits{rows.data()}, w, h);
        }
        return;
    }
    scanWith(test, w, h);
}

template <class Pixels>
void LineSig::scanWith(const Pixels& pixels, int viewWidth, int viewHeight) {
    const int step = std::max(probeStep, 1);
    const Scanner<Pixels> scanner{*this,           pixels,         probeHalfWidth, step,
                                  edgeSearchDepth, cleanRunLength, maxTransitions, hitQuota / step};
    needHits_ = scanner.needHits;
    const int mx = std::max(probeHalfWidth + 1, margin);
    const int my = std::max(edgeSearchDepth + cleanRunLength + 1, margin);
    const int xStart = mx;
    const int xEnd = viewWidth - mx;
    const int yStart = my;
    const int yEnd = viewHeight - my;
    const bool rotated = transposed_;
    const int count = rotated ? countA_ : countB_;
    const int s = std::max(static_cast<int>((xEnd - xStart) / (count + 1.0)) + 2, std::max(columnSpacing, 1));
    // Loop steps of at least one pixel, whatever the parameters say.
    const int rowAdvance = std::max(rowStep, 1);
    const int hitAdvance = std::max(skipAfterHit - rowStep, 0) + rowAdvance;
    const int traceStep = std::max(probeHalfWidth, 1);

    // A sample column can only be accepted when it holds a dark pixel on the
    // probe's row or the edgeSearchDepth rows below (the dark case starts on
    // a dark pixel, the white case looks down for one). inkMask[i] marks the
    // sample columns dark on row yStart + i, so a probe whose rows hold fewer
    // than needHits such columns is known to fail without being run.
    const int depth = edgeSearchDepth;
    const int samples = scanner.samples();
    const bool prefilter = scanner.needHits >= 1 && depth >= 0 && samples <= 64 && yEnd > yStart;
    std::vector<std::uint64_t> inkMask;
    if (prefilter) inkMask.resize(static_cast<std::size_t>(yEnd - yStart + depth));

    setProgressRange(0, 100);
    for (int xc = xStart + s; xc < xEnd; xc += s) {
        reportProgress(static_cast<int>(static_cast<long long>(xc) * 100 / xEnd));
        if (prefilter) {
            for (std::size_t i = 0; i < inkMask.size(); ++i) {
                const int row = yStart + static_cast<int>(i);
                std::uint64_t mask = 0;
                std::uint64_t bit = 1;
                for (int o = -probeHalfWidth; o <= probeHalfWidth; o += step, bit <<= 1)
                    if (!pixels.white(xc + o, row)) mask |= bit;
                inkMask[i] = mask;
            }
        }
        for (int y = yStart; y < yEnd;) {
            if (prefilter) {
                const std::uint64_t* rows = inkMask.data() + (y - yStart);
                std::uint64_t mask = 0;
                for (int k = 0; k <= depth && y + k < yEnd + depth; ++k) mask |= rows[k];
                // Fewer than needHits bits set? (Counted up to needHits only.)
                int columns = 0;
                for (; mask != 0 && columns < scanner.needHits; ++columns) mask &= mask - 1;
                if (columns < scanner.needHits) {
                    y += rowAdvance;
                    continue;
                }
            }
            if (!scanner.probe(xc, y)) {
                y += rowAdvance;
                continue;
            }
            int leftY = y - leftDrift_;
            int rightY = y - rightDrift_;
            int leftX = xc - leftReach_;
            int rightX = xc + rightReach_;

            int p = xc - traceStep;
            int q = leftY;
            while (p < xEnd && q < yEnd && p > xStart && q > yStart && std::abs(p - xc) < maxTrace_ &&
                   scanner.probe(p, q)) {
                leftY = q - leftDrift_;
                leftX = p - leftReach_;
                if (leftX <= xStart) {
                    leftX = xStart;
                    break;
                }
                q = leftY;
                p -= traceStep;
            }
            p = xc + traceStep;
            q = rightY;
            while (p < xEnd && q < yEnd && p > xStart && q > yStart && std::abs(p - xc) < maxTrace_ &&
                   scanner.probe(p, q)) {
                rightY = q - rightDrift_;
                rightX = p + rightReach_;
                if (rightX >= xEnd) {
                    rightX = xEnd;
                    break;
                }
                q = rightY;
                p += traceStep;
            }

            // The initial reach of a probe near either end of the column
            // range may pass it: a trace never extends past the range.
            leftX = std::max(leftX, xStart);
            rightX = std::min(rightX, xEnd);
            if (rightX - leftX > minTraceLength) {
                auto record = std::make_unique<LineRecord>();
                if (!rotated) {
                    record->orientation = 0;
                    record->x1 = leftX;
                    record->y1 = leftY;
                    record->x2 = rightX;
                    record->y2 = rightY;
                    horizontal_.push_back(std::move(record));
                } else {
                    // Back to page coordinates: view (u, v) is page (v, W' - 1 - u).
                    record->orientation = 1;
                    record->x1 = leftY;
                    record->y1 = viewWidth - 1 - leftX;
                    record->x2 = rightY;
                    record->y2 = viewWidth - 1 - rightX;
                    vertical_.push_back(std::move(record));
                }
            }
            y += hitAdvance;
        }
    }
}

bool LineSig::probeEdge(int x, int y) {
    const int step = std::max(probeStep, 1);
    const TestPixels test{pixelTest_, pixelTestImage_};
    const CheckedPixels<TestPixels> pixels{test, width(), height()};
    const Scanner<CheckedPixels<TestPixels>> scanner{*this,           pixels,         probeHalfWidth, step,
                                                     edgeSearchDepth, cleanRunLength, maxTransitions, hitQuota / step};
    return scanner.probe(x, y);
}

namespace {

// The along/across view of a record: horizontal records run along x, vertical
// ones along y (from y2 up to y1), so one merge serves both lists.
struct Span {
    int alongLo, alongHi;  // extent along the line
    double acrossLo;       // across coordinate at alongLo
    double acrossHi;       // across coordinate at alongHi
};

Span SpanOf(const LineRecord& r, bool vertical) {
    if (!vertical) return {r.x1, r.x2, static_cast<double>(r.y1), static_cast<double>(r.y2)};
    return {r.y2, r.y1, static_cast<double>(r.x2), static_cast<double>(r.x1)};
}

double AcrossAt(const Span& s, double along) {
    return s.acrossLo + (s.acrossHi - s.acrossLo) * (along - s.alongLo) / (s.alongHi - s.alongLo);
}

bool Joinable(const LineRecord& a, const LineRecord& b, bool vertical, int gap, int offset) {
    const Span sa = SpanOf(a, vertical);
    const Span sb = SpanOf(b, vertical);
    if (!(sa.alongLo < sb.alongHi + gap && sa.alongHi > sb.alongLo - gap)) return false;
    const double aMin = std::min(sa.acrossLo, sa.acrossHi);
    const double aMax = std::max(sa.acrossLo, sa.acrossHi);
    const double bMin = std::min(sb.acrossLo, sb.acrossHi);
    const double bMax = std::max(sb.acrossLo, sb.acrossHi);
    if (!(aMin < bMax + offset && aMax > bMin - offset)) return false;
    if (sa.alongLo == sa.alongHi || sb.alongLo == sb.alongHi) return false;
    const int lo = std::max(sa.alongLo, sb.alongLo);
    const int hi = std::min(sa.alongHi, sb.alongHi);
    if (lo - gap > hi) return false;
    const double mid = (lo + hi) / 2.0;
    return std::abs(AcrossAt(sa, mid) - AcrossAt(sb, mid)) < offset;
}

// Joins b into a: the outer end of either side keeps its own across value.
void Join(LineRecord& a, LineRecord& b, bool vertical) {
    if (!vertical) {
        if (b.x1 < a.x1) a.y1 = b.y1;
        if (b.x2 > a.x2) a.y2 = b.y2;
        a.x1 = std::min(a.x1, b.x1);
        a.x2 = std::max(a.x2, b.x2);
    } else {
        if (b.y1 > a.y1) a.x1 = b.x1;
        if (b.y2 < a.y2) a.x2 = b.x2;
        a.y1 = std::max(a.y1, b.y1);
        a.y2 = std::min(a.y2, b.y2);
    }
    b.markDeleted();
}

bool MergePass(LineSig::Records& list, bool vertical, int gap, int offset) {
    bool joined = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        LineRecord& a = *list[i];
        if (a.deleted()) continue;
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            LineRecord& b = *list[j];
            if (b.deleted() || a.deleted()) continue;
            if (!Joinable(a, b, vertical, gap, offset)) continue;
            Join(a, b, vertical);
            joined = true;
        }
    }
    return joined;
}

}  // namespace

// Joins segments that continue each other: overlapping or within mergeGap
// along the line, within mergeOffset across it at the middle of their common
// stretch. Passes repeat while they join something, at most mergePasses.
void LineSig::mergeSegments() {
    for (int pass = 0; pass < mergePasses; ++pass) {
        const bool h = MergePass(horizontal_, false, mergeGap, mergeOffset);
        const bool v = MergePass(vertical_, true, mergeGap, mergeOffset);
        if (!h && !v) break;
    }
}

void LineSig::filterByLength() {
    const int minH = std::min(std::max(minLengthH, 0), static_cast<int>(cachedWidth_));
    const int minV = std::min(std::max(minLengthV, 0), static_cast<int>(cachedHeight_));
    for (auto& r : horizontal_)
        if (!r->deleted() && r->x2 - r->x1 < minH) r->markDeleted();
    for (auto& r : vertical_)
        if (!r->deleted() && r->y1 - r->y2 < minV) r->markDeleted();
}

void LineSig::compactAndSort() {
    const auto dead = [](const std::unique_ptr<LineRecord>& r) { return r->deleted(); };
    std::erase_if(horizontal_, dead);
    std::erase_if(vertical_, dead);
    horizontal_.shrink_to_fit();
    vertical_.shrink_to_fit();
    std::stable_sort(horizontal_.begin(), horizontal_.end(), ByY1);
    std::stable_sort(vertical_.begin(), vertical_.end(), ByX1);
}

void LineSig::measureSegments() {
    const auto measure = [](Records& list) {
        double total = 0.0;
        for (auto& r : list) {
            if (r->deleted()) continue;
            const double dx = r->x2 - r->x1;
            const double dy = r->y1 - r->y2;
            r->length = std::sqrt(dx * dx + dy * dy);
            r->angle = r->x1 == r->x2 ? std::numbers::pi / 2 : std::atan(dy / dx);
            total += r->length;
        }
        return total;
    };
    totalLengthH_ = measure(horizontal_);
    totalLengthV_ = measure(vertical_);
}
