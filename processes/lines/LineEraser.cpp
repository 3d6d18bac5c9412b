// LineEraser: the background colour of a piece, the painting of its columns
// and ends, the stroke ends on either side of it and the bridges between them.
#include "processes/lines/LineEraser.h"

#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "processes/lines/LRLineSig.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Columns painted past each end of a piece.
constexpr int kEndColumns = 5;
// Rows between an erased band and the row where stroke ends are looked for.
constexpr int kEndDistance = 4;
// The same below a piece that was not erased (its band is estimated).
constexpr int kEndDistanceUnerased = 6;
// Budgets of the stroke trace: sideways, then vertical, for a first step
// straight away from the line, diagonally away, and along it.
constexpr int kStraightSideways = 15;
constexpr int kTurnSideways = 14;
constexpr int kAwayVertical = 4;
constexpr int kAlongVertical = 5;

// Rows a rebuilt stroke must go on beyond those next to an erased line.
constexpr int kStrokeRows = 4;

int Floor(double v) { return static_cast<int>(std::floor(v)); }

}  // namespace

void LineEraser::setProperties(int cleanup, int maxThickness, int reconstruction) {
    cleanup_ = std::clamp(cleanup, 0, kMaxCleanup);
    maxThickness_ = std::clamp(maxThickness, 0, kMaxThickness);
    reconstruction_ = std::clamp(reconstruction, 0, kMaxReconstruction);
}

void LineEraser::setImages(PixelImage* image, BoolImage* boolImage) {
    image_ = image;
    boolImage_ = boolImage;
    pixels_.attach(image, boolImage);
    width_ = pixels_.width();
    height_ = pixels_.height();
}

void LineEraser::requireImage() const {
    if (!image_) throw QNCException("Unknown internal error", IDS_UNKNOWN_INTERNAL_ERROR);
}

void LineEraser::report(int percent) const {
    if (progressHook_ && progressContext_) progressHook_(progressContext_, percent);
}

void LineEraser::paint(int x, int y, Colour colour) { image_->setPixel(x, y, colour.red, colour.green, colour.blue); }

std::uint16_t LineEraser::labelAt(int x, int y) const {
    return signature_ ? signature_->componentAt(x, y) : LRLineSig::kNotVisited;
}

void LineEraser::eraseLines() {
    requireImage();
    if (!signature_) return;
    auto& groups = signature_->horizontalGroups();
    const std::size_t n = groups.size();
    for (std::size_t i = 0; i < n; ++i) {
        report(static_cast<int>(i * 100 / n));
        eraseGroup(*groups[i]);
    }
}

int LineEraser::sampleBackground(const LineGroup& group, int d, Colour& colour) const {
    const LineRecord& line = *group.line;
    const int t = line.label;
    std::vector<Colour> samples;
    samples.reserve(static_cast<std::size_t>(std::max(line.x2 - line.x1 + 1, 0)));
    for (int x = line.x1; x <= line.x2; ++x) {
        const int row = Floor(line.y1 + t + d + line.slope * (x - line.x1));
        if (row < 0 || row >= height_) break;
        if (x < 0 || x >= width_ || pixels_.darkInside(x, row)) continue;
        Colour c;
        image_->getPixel(x, row, c.red, c.green, c.blue);
        samples.push_back(c);
    }
    if (samples.size() < 2) return 0;
    const auto sum = [](const Colour& c) { return c.red + c.green + c.blue; };
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end(),
                     [&](const Colour& a, const Colour& b) { return sum(a) < sum(b); });
    colour = *middle;
    return static_cast<int>(samples.size());
}

// White on 1-bit pages; else the median background colour of the nearest
// parallel row below the piece's band that is mostly background. False when
// there is none (the piece then stays).
bool LineEraser::pieceColour(const LineGroup& group, Colour& colour) const {
    if (image_->bitCount() == 1) return true;
    const LineRecord& line = *group.line;
    int d = 2 * (2 - (cleanup_ + 1) * line.label);
    int count = sampleBackground(group, d, colour);
    const int needed = static_cast<int>(kBackgroundPercent / 100.0 * (line.x2 - line.x1));
    while (count < needed) {
        if (std::abs(d) > height_) return false;
        d -= 2;
        count = sampleBackground(group, d, colour);
    }
    return true;
}

void LineEraser::eraseGroup(LineGroup& group) {
    LineRecord& line = *group.line;
    const int t = line.label;
    if (t > maxThickness_) return;
    line.y1 += 1;
    line.y2 += 1;

    Colour colour{255, 255, 255};
    if (!pieceColour(group, colour)) return;
    if (reconstruction_ > 0) group.erased.assign(group.profile.size(), ErasedRows{});
    if (followRuns_) {
        eraseFollowingRuns(group, colour);
        return;
    }
    const bool record = group.hasErasedRows();

    const int n = static_cast<int>(group.profile.size());
    for (int j = 0; j < n; ++j) {
        const int x = line.x1 + j;
        if (x < 0 || x >= width_) continue;
        const int yl = Floor(line.y1 + line.slope * j);
        const ColumnRun& run = group.profile[static_cast<std::size_t>(j)];
        ErasedRows* erased = record ? &group.erased[static_cast<std::size_t>(j)] : nullptr;
        if (run.bottom - run.top + 1 < 2 * t) {
            // No character crosses here: the run, the clean-up rows around it.
            const int from = std::max(run.top - cleanup_ + 1, 0);
            const int to = std::min(run.bottom + cleanup_, height_ - 1);
            for (int y = from; y <= to; ++y) {
                if (pixels_.darkInside(x, y) && std::abs(y - yl) > t + 1) continue;
                paint(x, y, colour);
                if (erased) erased->widen(y);
            }
        } else {
            // A character crosses: only the line's band.
            const int from = std::max(yl - cleanup_, 0);
            const int to = std::min(yl + t + cleanup_ - 1, height_ - 1);
            for (int y = from; y <= to; ++y) {
                paint(x, y, colour);
                if (erased) erased->widen(y);
            }
        }
    }

    // The band a few columns past both ends, unrecorded.
    const auto band = [&](int x, int yl) {
        if (x < 0 || x >= width_) return;
        const int from = std::max(yl - cleanup_, 0);
        const int to = std::min(yl + t + cleanup_ - 1, height_ - 1);
        for (int y = from; y <= to; ++y) paint(x, y, colour);
    };
    for (int i = 0; i < kEndColumns; ++i) {
        band(line.x1 - i, Floor(line.y1 - i * line.slope));
        band(line.x2 + i, Floor(line.y1 + (n + i) * line.slope));
    }
}

void LineEraser::reconnectStrokes() {
    requireImage();
    if (!signature_) return;
    for (auto& group : signature_->horizontalGroups()) {
        if (followRuns_) {
            rebuildCrossings(*group);
        } else {
            reconnectGroup(*group);
        }
    }
}

// A pixel of the erased rows comes back when a straight stroke through it
// (upright, or leaning 1/4 or 1/2 column per row either way) is dark on the rows just
// above and just below them and kStrokeRows rows farther; its colour blends
// the two ends'.
void LineEraser::rebuildCrossings(const LineGroup& group) {
    if (!group.hasErasedRows()) return;
    static constexpr double kLeans[] = {0.0, -0.25, 0.25, -0.5, 0.5};
    const LineRecord& line = *group.line;
    const bool bits = image_->bitCount() == 1;
    const int n = static_cast<int>(group.erased.size());
    for (int j = 0; j < n; ++j) {
        const ErasedRows& e = group.erased[static_cast<std::size_t>(j)];
        const int x = line.x1 + j;
        const int above = e.lowest - 1;
        const int below = e.highest + 1;
        // A stroke needs both sides inside the view.
        if (e.empty() || x < 0 || x >= width_ || above < 0 || below >= height_) continue;
        for (int y = e.lowest; y <= e.highest; ++y) {
            const int up = y - above;
            const int down = below - y;
            for (const double lean : kLeans) {
                const int xu = x + static_cast<int>(std::lround(lean * up));
                const int xd = x - static_cast<int>(std::lround(lean * down));
                if (!pixels_.dark(xu, above) || !pixels_.dark(xd, below)) continue;
                // The stroke goes on beyond both rows (a bowl's two sides
                // above and its bottom below are no stroke).
                bool straight = true;
                for (int k = 1; k <= kStrokeRows && straight; ++k) {
                    straight = pixels_.dark(x + static_cast<int>(std::lround(lean * (up + k))), above - k) &&
                               pixels_.dark(x - static_cast<int>(std::lround(lean * (down + k))), below + k);
                }
                if (!straight) continue;
                Colour colour{0, 0, 0};
                if (!bits) {
                    Colour cu;
                    Colour cd;
                    image_->getPixel(xu, above, cu.red, cu.green, cu.blue);
                    image_->getPixel(xd, below, cd.red, cd.green, cd.blue);
                    const double w = static_cast<double>(up) / (up + down);
                    const auto mix = [&](std::uint8_t a, std::uint8_t b) {
                        return static_cast<std::uint8_t>(std::lround(a * (1.0 - w) + b * w));
                    };
                    colour = {mix(cu.red, cd.red), mix(cu.green, cd.green), mix(cu.blue, cd.blue)};
                }
                paint(x, y, colour);
                break;
            }
        }
    }
}

void LineEraser::reconnectGroup(LineGroup& group) {
    const LineRecord& line = *group.line;
    const int t = line.label;
    const int n = static_cast<int>(group.profile.size());
    int below = kEndDistance;
    if (!group.hasErasedRows()) {
        // Not erased: the band the line would have had.
        group.erased.resize(static_cast<std::size_t>(n));
        for (int j = 0; j < n; ++j) {
            const int yl = Floor(line.y1 + line.slope * j);
            group.erased[static_cast<std::size_t>(j)] = {yl - cleanup_, yl + t + cleanup_};
        }
        below = kEndDistanceUnerased;
    }

    // The stroke ends above and below the band.
    std::vector<StrokeEnd> uppers;
    std::vector<StrokeEnd> lowers;
    for (int pass = 0; pass < 2; ++pass) {
        const bool upward = pass == 0;
        std::vector<StrokeEnd>& ends = upward ? uppers : lowers;
        for (int j = 0; j < n;) {
            const ErasedRows& e = group.erased[static_cast<std::size_t>(j)];
            const int x = line.x1 + j;
            const int r = upward ? e.lowest - kEndDistance : e.highest + below;
            if (!e.empty() && pixels_.dark(x, r)) {
                const StrokeEnd end = makeStrokeEnd(x, r, upward);
                // Kept when at most kWidestStrokeEnd wide. Either way the walk
                // goes on past the run (which may have begun before x), so a
                // wide run is judged once, not once per column.
                if (end.xe - end.xs <= kWidestStrokeEnd) ends.push_back(end);
                j += std::max(end.xe - x, 1);
                continue;
            }
            ++j;
        }
    }

    // Each lower end takes the nearest unmatched upper end of a labelled component.
    const int reach = reconstruction_;
    const int half = reach / 2;
    for (StrokeEnd& lower : lowers) {
        StrokeEnd* best = nullptr;
        double bestDist = 0.0;
        for (StrokeEnd& upper : uppers) {
            if (upper.matched() || upper.label < 1 || upper.label > LRLineSig::kLastComponent) continue;
            if (std::abs(lower.xc - upper.xc) > reach) continue;
            double dist = 0.0;
            const bool lowerBent = lower.kind >= 2;
            const bool upperBent = upper.kind >= 2;
            if (!lowerBent && !upperBent) {
                dist = std::abs(lower.xc - upper.xc);
            } else if (lowerBent && !upperBent) {
                dist = std::abs(upper.xc - (lower.xs + (upper.y - lower.y) / lower.slope));
            } else if (!lowerBent) {
                dist = std::abs(lower.xc - (upper.xs + (lower.y - upper.y) / upper.slope));
            } else {
                const double ym = (lower.y + upper.y) / 2.0;
                dist = std::abs((lower.xs + (ym - lower.y) / lower.slope) - (upper.xs + (ym - upper.y) / upper.slope));
            }
            if (dist <= half && (!best || dist < bestDist)) {
                best = &upper;
                bestDist = dist;
            }
        }
        if (!best) continue;
        Colour colour{0, 0, 0};
        if (image_->bitCount() != 1) image_->getPixel(best->xc, best->y, colour.red, colour.green, colour.blue);
        paintBridge(*best, lower, colour);
        best->xe = -1;
        lower.xe = -1;
    }
}

StrokeEnd LineEraser::makeStrokeEnd(int x, int r, bool upward) const {
    StrokeEnd end;
    int xe = x;
    while (xe < width_ && pixels_.dark(xe, r)) ++xe;
    // The run may have begun left of the column it was met in (a stroke
    // crossing the first column of a piece): its first column is the run's.
    int xs = x;
    while (xs > 0 && pixels_.dark(xs - 1, r)) --xs;
    x = xs;
    end.xs = x;
    end.y = end.row = r;
    end.xe = xe;
    end.xc = Floor((x + xe) / 2.0);
    end.label = labelAt(end.xc, r);
    int ex = end.xc;
    int ey = r;
    const bool border = end.xc <= 0 || end.xc >= width_ - 1 || r <= 0 || r >= height_ - 1;
    if (!border) {
        const int away = upward ? r - 1 : r + 1;
        const int xc = end.xc;
        if (pixels_.dark(xc, away)) {
            ey = away;
            traceStroke(ex, ey, kStraightSideways, kAwayVertical, upward);
        } else if (pixels_.dark(xc - 1, away)) {
            ex = xc - 1;
            ey = away;
            traceStroke(ex, ey, kTurnSideways, kAwayVertical, upward);
        } else if (pixels_.dark(xc + 1, away)) {
            ex = xc + 1;
            ey = away;
            traceStroke(ex, ey, kTurnSideways, kAwayVertical, upward);
        } else if (pixels_.dark(xc + 1, r)) {
            ex = xc + 1;
            traceStroke(ex, ey, kTurnSideways, kAlongVertical, upward);
        } else if (pixels_.dark(xc - 1, r)) {
            ex = xc - 1;
            traceStroke(ex, ey, kTurnSideways, kAlongVertical, upward);
        }
    }
    end.ex = ex;
    end.ey = ey;
    end.kind = static_cast<std::uint8_t>(std::min(std::abs(ey - r), 255));
    end.slope = ex == end.xc ? StrokeEnd::kUpright : static_cast<double>(ey - r) / (ex - end.xc);
    return end;
}

void LineEraser::traceStroke(int& x, int& y, int sideways, int vertical, bool upward) const {
    const int dy = upward ? -1 : 1;
    while (x >= 1 && x < width_ - 1 && y >= 1 && y < height_ - 1 && sideways >= 1 && vertical >= 1) {
        if (pixels_.darkInside(x, y + dy)) {
            y += dy;
            --vertical;
        } else if (pixels_.darkInside(x - 1, y + dy)) {
            --x;
            y += dy;
            --sideways;
            --vertical;
        } else if (pixels_.darkInside(x + 1, y + dy)) {
            ++x;
            y += dy;
            --sideways;
            --vertical;
        } else if (pixels_.darkInside(x + 1, y)) {
            ++x;
            --sideways;
        } else if (pixels_.darkInside(x - 1, y)) {
            --x;
            --sideways;
        } else {
            break;
        }
    }
}

void LineEraser::paintBridge(const StrokeEnd& upper, const StrokeEnd& lower, Colour colour) {
    requireImage();
    if (lower.y - upper.y < 2) return;
    const double span = lower.y - upper.y;
    if (image_->bitCount() == 1) {
        // Only the crossing character's own pixels come back.
        for (int y = std::max(upper.y + 1, 0); y < lower.y && y < height_; ++y) {
            const double f = (y - upper.y) / span;
            const double left = upper.xs + (lower.xs - upper.xs) * f;
            const double right = upper.xe + (lower.xe - upper.xe) * f;
            const int from = std::max(Floor(left), 0);
            const int to = std::min(static_cast<int>(std::ceil(right)), width_);
            for (int x = from; x < to; ++x)
                if (labelAt(x, y) == upper.label) paint(x, y, colour);
        }
        return;
    }

    // Deeper pages: both runs widened, their colours blended across the gap.
    struct Run {
        int from;
        int to;
        std::vector<Colour> colours;
    };
    const auto widened = [&](const StrokeEnd& end) {
        const int w = end.xe - end.xs;
        const int pad = static_cast<int>(kBridgeWidening * w) + 1;
        Run run{end.xs - pad, end.xe + pad, {}};
        for (int x = std::max(run.from, 0); x < std::min(run.to, width_); ++x) {
            Colour c;
            if (end.y >= 0 && end.y < height_) image_->getPixel(x, end.y, c.red, c.green, c.blue);
            run.colours.push_back(c);
        }
        return run;
    };
    const Run up = widened(upper);
    const Run low = widened(lower);
    if (up.colours.empty() || low.colours.empty()) return;
    const int nU = static_cast<int>(up.colours.size());
    const int nL = static_cast<int>(low.colours.size());
    for (int y = std::max(upper.y + 1, 0); y < lower.y && y < height_; ++y) {
        const double f = (y - upper.y) / span;
        const double left = up.from + (low.from - up.from) * f;
        const double right = up.to + (low.to - up.to) * f;
        const double w = (y - lower.y) / static_cast<double>(upper.y - lower.y);
        const int from = std::max(Floor(left), 0);
        const int to = std::min(static_cast<int>(std::ceil(right)), width_);
        for (int x = from; x < to; ++x) {
            const double q = right > left ? std::clamp((x - left) / (right - left), 0.0, 1.0) : 0.0;
            const Colour& cl = low.colours[static_cast<std::size_t>(std::min(Floor(nL * q), nL - 1))];
            const Colour& cu = up.colours[static_cast<std::size_t>(std::min(Floor(nU * q), nU - 1))];
            const auto mix = [&](std::uint8_t a, std::uint8_t b) {
                return static_cast<std::uint8_t>(static_cast<int>(a * (1.0 - w) + b * w));
            };
            paint(x, y, Colour{mix(cl.red, cu.red), mix(cl.green, cu.green), mix(cl.blue, cu.blue)});
        }
    }
}

// The piece's own columns are those where its run lies on its line alone;
// their runs go. Between them, where a character meets the piece, its band
// goes, placed by the own columns on either side. Past either end the run is
// followed while it stays as thin.
void LineEraser::eraseFollowingRuns(LineGroup& group, Colour colour) {
    const LineRecord& line = *group.line;
    const int t = line.label;
    const int n = static_cast<int>(group.profile.size());
    const bool record = group.hasErasedRows();
    // The first row of the piece's own run per column; kNotOwn elsewhere.
    constexpr int kNotOwn = std::numeric_limits<int>::min();
    std::vector<int> ownTop(static_cast<std::size_t>(n), kNotOwn);
    // Columns no thicker than the piece are its own. So is a stretch of
    // columns one pixel thicker between two of them (the rule's thickness
    // varies), but not one beside a column where a character crosses: there
    // the extra pixel is the character's (the wing of a serif, the flank of
    // a bowl lying on the rule).
    const auto onLine = [&](int j) {
        const ColumnRun& run = group.profile[static_cast<std::size_t>(j)];
        const int yl = Floor(line.y1 + line.slope * j);
        return run.top + 1 >= yl - 2 && run.bottom <= yl + t + 1;
    };
    const auto thickness = [&](int j) { return group.profile[static_cast<std::size_t>(j)].thickness(); };
    for (int j = 0; j < n; ++j) {
        if (thickness(j) > 0 && thickness(j) <= t && onLine(j))
            ownTop[static_cast<std::size_t>(j)] = group.profile[static_cast<std::size_t>(j)].top + 1;
    }
    for (int j = 0; j < n;) {
        if (thickness(j) != t + 1) {
            ++j;
            continue;
        }
        int end = j;
        while (end < n && thickness(end) == t + 1) ++end;
        const bool before = j == 0 || ownTop[static_cast<std::size_t>(j - 1)] != kNotOwn;
        const bool after = end == n || ownTop[static_cast<std::size_t>(end)] != kNotOwn;
        if (before && after) {
            for (int i = j; i < end; ++i)
                if (onLine(i)) ownTop[static_cast<std::size_t>(i)] = group.profile[static_cast<std::size_t>(i)].top + 1;
        }
        j = end;
    }
    const int thickest = t + 1;
    const auto paintRows = [&](int x, int from, int to, ErasedRows* erased) {
        from = std::max(from - cleanup_, 0);
        to = std::min(to + cleanup_, height_ - 1);
        for (int y = from; y <= to; ++y) {
            paint(x, y, colour);
            if (erased) erased->widen(y);
        }
    };
    int previous = -1;  // the last own column
    int next = -1;      // the next own column at or after j
    for (int j = 0; j < n; ++j) {
        const int x = line.x1 + j;
        const ColumnRun& run = group.profile[static_cast<std::size_t>(j)];
        ErasedRows* erased = record ? &group.erased[static_cast<std::size_t>(j)] : nullptr;
        const int own = ownTop[static_cast<std::size_t>(j)];
        if (own != kNotOwn) {
            previous = j;
            if (x >= 0 && x < width_) paintRows(x, own, run.bottom, erased);
            continue;
        }
        if (next < j) {
            next = j + 1;
            while (next < n && ownTop[static_cast<std::size_t>(next)] == kNotOwn) ++next;
        }
        // Nothing dark meets the band here (a break in the line).
        if (run.thickness() <= 0 || x < 0 || x >= width_) continue;
        double top = Floor(line.y1 + line.slope * j);
        // Level on both sides: the band's place is known.
        bool placed = false;
        if (previous >= 0 && next < n) {
            placed = ownTop[static_cast<std::size_t>(previous)] == ownTop[static_cast<std::size_t>(next)];
            const double f = static_cast<double>(j - previous) / (next - previous);
            top = ownTop[static_cast<std::size_t>(previous)] +
                  f * (ownTop[static_cast<std::size_t>(next)] - ownTop[static_cast<std::size_t>(previous)]);
        } else if (previous >= 0) {
            top = ownTop[static_cast<std::size_t>(previous)] + line.slope * (j - previous);
        } else if (next < n) {
            top = ownTop[static_cast<std::size_t>(next)] - line.slope * (next - j);
        }
        int from = Floor(top + 0.5);
        int to = from + t - 1;
        // Only where the column's dark run reaches the band.
        if (run.bottom < from || run.top + 1 > to) continue;
        // Otherwise an edge of the run that lies near the band's is the
        // rule's own (a character meets it from the other side).
        if (!placed && run.top + 1 < from && std::abs(run.bottom - to) <= 1) {
            to = run.bottom;
            from = to - t + 1;
        } else if (!placed && run.bottom > to && std::abs(run.top + 1 - from) <= 1) {
            from = run.top + 1;
            to = from + t - 1;
        }
        paintRows(x, from, to, erased);
    }

    // Past the ends: the run goes on as thin as the piece, on its line.
    const auto follow = [&](int ownColumn, int fromColumn, int step) {
        const int ownRow = ownTop[static_cast<std::size_t>(ownColumn)];
        for (int i = 1; i <= kEndColumns; ++i) {
            const int j = fromColumn + step * i;
            const int x = line.x1 + j;
            if (x < 0 || x >= width_) return;
            const int top = Floor(ownRow + line.slope * (j - ownColumn) + 0.5);
            int y = -1;
            for (const int d : {0, 1, -1}) {
                if (pixels_.dark(x, top + d)) {
                    y = top + d;
                    break;
                }
            }
            if (y < 0) return;
            int from = y;
            while (from > 0 && y - from <= t && pixels_.darkInside(x, from - 1)) --from;
            int to = y;
            while (to + 1 < height_ && to - y <= t && pixels_.darkInside(x, to + 1)) ++to;
            if (to - from + 1 > thickest) return;
            paintRows(x, from, to, nullptr);
        }
    };
    int first = 0;
    while (first < n && ownTop[static_cast<std::size_t>(first)] == kNotOwn) ++first;
    if (first == n) return;
    int last = n - 1;
    while (ownTop[static_cast<std::size_t>(last)] == kNotOwn) --last;
    follow(first, 0, -1);
    follow(last, n - 1, 1);
}
