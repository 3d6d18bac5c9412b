// SkewFinder: working copy (reduction, background division, masks), the
// Leptonica sweep and bisection, and the band count that decides whether an
// angle means anything.
#include "processes/lines/SkewFinder.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

using imagelib::PixPtr;

namespace {

constexpr int kLowestWorkingDpi = 150;    // reduce while the page stays at or above this
constexpr int kSweepQuarteredFrom = 140;  // sweep at a quarter, bisect at half the working resolution
constexpr int kMinWorkingSide = 24;       // smaller working copies are not measured
constexpr int kBackgroundLevel = 200;     // paper after background division
constexpr int kInkBelow = 150;            // ... and ink below this (75 % of the paper)
constexpr int kMinBands = 2;              // fewer separate rows of ink: no measurable skew
constexpr float kSweepStep = 1.0f;        // degrees between sweep trials
constexpr std::size_t kCandidates = 3;    // sweep peaks compared again at the working resolution
constexpr double kRivalShare = 0.3;       // ... when the second is at least this share of the first

// A resolution that fits the page: the given one when plausible, else the one
// that makes the page a letter or A4 sheet.
int PlausibleDpi(PIX* page, int dpi) {
    if (dpi >= 50 && dpi <= 2400) return dpi;
    const int w = pixGetWidth(page), h = pixGetHeight(page);
    const double longSide = std::max(w, h) / 11.0, shortSide = std::min(w, h) / 8.3;
    return std::max(1, static_cast<int>(std::min(longSide, shortSide)));
}

// Grey level below which `fraction` of the page's pixels lie.
int Percentile(PIX* grey, double fraction) {
    NUMA* histogram = pixGetGrayHistogram(grey, std::max(1, pixGetWidth(grey) * pixGetHeight(grey) > 4000000 ? 2 : 1));
    if (!histogram) return 255;
    l_float32 total = 0.0f;
    numaGetSum(histogram, &total);
    double seen = 0.0;
    int level = 255;
    for (int i = 0; i < 256; ++i) {
        l_float32 count = 0.0f;
        numaGetFValue(histogram, i, &count);
        seen += count;
        if (seen >= fraction * total) {
            level = i;
            break;
        }
    }
    numaDestroy(&histogram);
    return level;
}

// Ink of a grey page: each pixel against a tiled estimate of the paper around
// it. Tiles with too little paper (inside dark borders or photos) take their
// neighbours' paper, so dark regions stay black as a whole.
PixPtr InkOfGrey(PIX* grey, int workingDpi) {
    const int paper = Percentile(grey, 0.9);
    const int tile = std::max(8, workingDpi / 6);
    // Pixels below 60 % of the paper are not paper when the tiles are averaged.
    const int notPaper = std::max(1, paper * 3 / 5);
    PixPtr normalised(
        pixBackgroundNorm(grey, nullptr, nullptr, tile, tile, notPaper, tile * tile / 4, kBackgroundLevel, 2, 2));
    if (normalised) return PixPtr(pixThresholdToBinary(normalised.get(), kInkBelow));
    // No tile held enough paper: a page of one dark tone, or nearly so.
    return PixPtr(pixThresholdToBinary(grey, std::max(1, paper * 3 / 4)));
}

// Solid dark regions about 5 mm across or more (scanner borders, gutters,
// photos, halftone screens) with a margin for their blurred edges; null when
// there are none. Found on a copy reduced four times that keeps a pixel where
// most of its cell is black (text strokes thin away, screens fill in), opened
// by a 5 mm square, grown and brought back to the working size.
PixPtr SolidRegions(PIX* ink, int workingDpi) {
    const bool small = std::min(pixGetWidth(ink), pixGetHeight(ink)) < 16 * kMinWorkingSide / 4;
    const int factor = small ? 1 : 4;
    PixPtr coarse(small ? pixCloseSafeBrick(nullptr, ink, 3, 3) : pixReduceRankBinaryCascade(ink, 2, 3, 0, 0));
    if (!coarse) return nullptr;
    const int side = std::max(3, workingDpi / (5 * factor));
    PixPtr opened(pixOpenBrick(nullptr, coarse.get(), side, side));
    if (!opened) return nullptr;
    l_int32 empty = 1;
    pixZero(opened.get(), &empty);
    if (empty) return nullptr;
    const int margin = std::max(3, side / 3) | 1;
    PixPtr grown(pixDilateBrick(nullptr, opened.get(), margin, margin));
    if (!grown || factor == 1) return grown;
    return PixPtr(pixExpandBinaryPower2(grown.get(), factor));
}

// Row-profile sharpness (differential square sum) of `ink` sheared by `degrees`.
double Sharpness(PIX* ink, double degrees) {
    PixPtr sheared(
        pixVShearCenter(nullptr, ink, static_cast<l_float32>(degrees * std::numbers::pi / 180.0), L_BRING_IN_WHITE));
    l_float32 sum = 0.0f;
    if (!sheared || pixFindDifferentialSquareSum(sheared.get(), &sum) != 0) return 0.0;
    return sum;
}

// The working copy reduced `factor` (1, 2, 4 or 8) times, keeping every black pixel.
PixPtr Reduced(PIX* ink, int factor) {
    if (factor <= 1) return PixPtr(pixClone(ink));
    return PixPtr(pixReduceRankBinaryCascade(ink, 1, factor >= 4 ? 1 : 0, factor >= 8 ? 1 : 0, 0));
}

// Within +-reach of `center` in steps of `step`: the angle of the sharpest
// profile, the sharpest and flattest scores, and the local peaks, sharpest
// first.
struct SweepResult {
    double angle = 0.0, best = 0.0, worst = 0.0;
    bool atEdge = false;
    std::vector<std::pair<double, double>> peaks;  // (score, angle)
};
SweepResult Sweep(PIX* ink, double center, double reach, double step) {
    SweepResult result;
    const int n = static_cast<int>(std::lround(reach / step));
    std::vector<double> scores;
    for (int i = -n; i <= n; ++i) {
        const double angle = center + i * step;
        const double score = Sharpness(ink, angle);
        scores.push_back(score);
        if (i == -n || score > result.best) {
            result.best = score;
            result.angle = angle;
            result.atEdge = i == -n || i == n;
        }
        if (i == -n || score < result.worst) result.worst = score;
    }
    for (std::size_t i = 1; i + 1 < scores.size(); ++i)
        if (scores[i] >= scores[i - 1] && scores[i] >= scores[i + 1])
            result.peaks.emplace_back(scores[i], center + (static_cast<int>(i) - n) * step);
    std::sort(result.peaks.begin(), result.peaks.end(), std::greater<>());
    return result;
}

// Hill climbing about `center`: at each step the centre moves while a
// neighbour is sharper (the coarser stages can be biased by a few steps),
// then the step halves, down to `precision`; last, the vertex of the
// parabola through the final three scores (kept within their step).
double Climb(PIX* ink, double center, double step, double precision) {
    constexpr int kMostMoves = 8;
    double at = Sharpness(ink, center);
    double before = Sharpness(ink, center - step);
    double after = Sharpness(ink, center + step);
    for (int moves = 0;;) {
        if (before > at && before >= after && moves < kMostMoves) {
            ++moves;
            after = at;
            at = before;
            center -= step;
            before = Sharpness(ink, center - step);
        } else if (after > at && moves < kMostMoves) {
            ++moves;
            before = at;
            at = after;
            center += step;
            after = Sharpness(ink, center + step);
        } else if (step / 2.0 >= precision) {
            step /= 2.0;
            moves = 0;
            before = Sharpness(ink, center - step);
            after = Sharpness(ink, center + step);
        } else {
            break;
        }
    }
    const double curvature = before - 2.0 * at + after;
    if (!(curvature < 0.0)) return center;
    return center + std::clamp(0.5 * (before - after) / curvature, -1.0, 1.0) * step;
}

}  // namespace

PixPtr SkewFinder::WorkingInk(PIX* page, int dpi, int* workingDpi) {
    if (!page) return nullptr;
    const int depth = pixGetDepth(page);
    if (depth != 1 && depth != 8 && depth != 32) return nullptr;
    const int w = pixGetWidth(page), h = pixGetHeight(page);
    const int pageDpi = PlausibleDpi(page, dpi);
    int factor = 1;
    while (factor < 8 && pageDpi / (factor * 2) >= kLowestWorkingDpi &&
           std::min(w, h) / (factor * 2) >= kMinWorkingSide)
        factor *= 2;
    if (std::min(w, h) / factor < kMinWorkingSide) return nullptr;
    *workingDpi = pageDpi / factor;

    PixPtr ink;
    if (depth == 1) {
        // Reduction keeping every black pixel: thin strokes and dots survive.
        const int steps = factor == 8 ? 3 : factor == 4 ? 2 : factor == 2 ? 1 : 0;
        ink.reset(steps == 0 ? pixCopy(nullptr, page)
                             : pixReduceRankBinaryCascade(page, 1, steps > 1 ? 1 : 0, steps > 2 ? 1 : 0, 0));
    } else {
        PixPtr grey(depth == 32 ? pixConvertRGBToLuminance(page) : pixClone(page));
        for (int f = factor; grey && f > 1; f /= 2) grey.reset(pixScaleAreaMap2(grey.get()));
        if (!grey) return nullptr;
        ink = InkOfGrey(grey.get(), *workingDpi);
    }
    if (!ink) return nullptr;

    const PixPtr solid = SolidRegions(ink.get(), *workingDpi);
    if (solid) pixSubtract(ink.get(), ink.get(), solid.get());
    // Whatever touches the page's edge is border, not content.
    return PixPtr(pixRemoveBorderConnComps(ink.get(), 8));
}

int SkewFinder::CountBands(PIX* ink, double degrees) {
    PixPtr sheared(
        pixVShearCenter(nullptr, ink, static_cast<l_float32>(degrees * std::numbers::pi / 180.0), L_BRING_IN_WHITE));
    if (!sheared) return 0;
    NUMA* rows = pixCountPixelsByRow(sheared.get(), nullptr);
    if (!rows) return 0;
    const int n = numaGetCount(rows);
    l_float32 peak = 0.0f;
    numaGetMax(rows, &peak, nullptr);
    // A band is a run of rows holding at least a given share of the fullest
    // row's ink, apart from the next by two rows or more below it. A tenth
    // separates lines of text; where rules or underlines make the fullest rows
    // much fuller than text, three tenths separate the rules.
    int most = 0;
    for (const float share : {0.1f, 0.3f}) {
        const float floor = std::max(1.0f, peak * share);
        int bands = 0, gap = 2;
        for (int i = 0; i < n; ++i) {
            l_float32 count = 0.0f;
            numaGetFValue(rows, i, &count);
            if (count >= floor) {
                if (gap >= 2) ++bands;
                gap = 0;
            } else {
                ++gap;
            }
        }
        most = std::max(most, bands);
    }
    numaDestroy(&rows);
    return most;
}

SkewReading SkewFinder::measure(PIX* page, int dpi) const {
    SkewReading reading;
    int workingDpi = 0;
    PixPtr ink = WorkingInk(page, dpi, &workingDpi);
    if (!ink) return reading;
    l_int32 empty = 1;
    pixZero(ink.get(), &empty);
    if (empty) return reading;

    // Coarse to fine: a sweep in whole degrees at about 37 dpi reaching two
    // degrees past the range (a best angle on the sweep's edge is no
    // measurement), a quarter-degree sweep about its best at twice that
    // resolution, and hill climbing with halving steps at the working one.
    const double range = std::clamp(settings_.maxAngle, 0.5, 45.0);
    const double precision = std::clamp(settings_.precision, 0.001, 1.0);
    const int shortSide = std::min(pixGetWidth(ink.get()), pixGetHeight(ink.get()));
    const int coarse = workingDpi >= kSweepQuarteredFrom && shortSide >= 16 * kMinWorkingSide ? 4
                       : shortSide >= 4 * kMinWorkingSide                                     ? 2
                                                                                              : 1;
    PixPtr coarseInk = Reduced(ink.get(), coarse);
    PixPtr middleInk = Reduced(ink.get(), std::max(1, coarse / 2));
    if (!coarseInk || !middleInk) return reading;
    const SweepResult sweep = Sweep(coarseInk.get(), 0.0, std::ceil(range) + 2.0, kSweepStep);
    if (sweep.atEdge || !(sweep.best > 0.0)) return reading;
    // A reduced copy can alias: rows of text and the stairs of slanted rules
    // line up at a wrong angle. When the sweep has a rival peak, the strongest
    // few are compared again at the working resolution, where aliasing is gone.
    double start = sweep.angle;
    if (coarse > 1 && sweep.peaks.size() > 1 && sweep.peaks[1].first >= kRivalShare * sweep.peaks[0].first) {
        double sharpest = -1.0;
        for (std::size_t i = 0; i < std::min<std::size_t>(sweep.peaks.size(), kCandidates); ++i) {
            const double score = Sharpness(ink.get(), sweep.peaks[i].second);
            if (score > sharpest) {
                sharpest = score;
                start = sweep.peaks[i].second;
            }
        }
    }
    const SweepResult middle = Sweep(middleInk.get(), start, 1.5 * kSweepStep, kSweepStep / 4.0);
    const double refined = Climb(ink.get(), middle.angle, kSweepStep / 8.0, precision);
    if (!std::isfinite(refined) || std::abs(refined) > range + precision) return reading;
    const double confidence = sweep.best / std::max(sweep.worst, 1.0);

    reading.bands = CountBands(ink.get(), refined);
    if (reading.bands < kMinBands) return reading;
    reading.measurable = true;
    reading.angle = refined;
    reading.confidence = confidence;
    return reading;
}
