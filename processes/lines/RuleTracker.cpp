// RuleTracker: the dark runs along the rows that start traces, the column by
// column trace along a fitted line, and the test that makes a trace a rule.
#include "processes/lines/RuleTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// A least-squares line through the centres of a rule's own runs:
// centre = mean + slope * (x - mean x), level until the runs span
// kSlopeSpan columns, the slope held within kMaxSlope.
class CentreFit {
public:
    explicit CentreFit(int origin) : origin_(origin), first_(origin), last_(origin) {}

    void add(int x, double centre) {
        const double u = x - origin_;
        n_ += 1.0;
        su_ += u;
        sc_ += centre;
        suu_ += u * u;
        suc_ += u * centre;
        first_ = std::min(first_, x);
        last_ = std::max(last_, x);
    }
    double slope() const {
        if (last_ - first_ < RuleTracker::kSlopeSpan) return 0.0;
        const double d = n_ * suu_ - su_ * su_;
        if (d <= 0.0) return 0.0;
        return std::clamp((n_ * suc_ - su_ * sc_) / d, -RuleTracker::kMaxSlope, RuleTracker::kMaxSlope);
    }
    double centre(int x) const { return sc_ / n_ + slope() * ((x - origin_) - su_ / n_); }

private:
    int origin_;
    int first_;
    int last_;
    double n_ = 0.0;
    double su_ = 0.0;
    double sc_ = 0.0;
    double suu_ = 0.0;
    double suc_ = 0.0;
};

// The thicknesses of a rule's own runs; their median is the rule's thickness.
class ThicknessCount {
public:
    explicit ThicknessCount(int largest) : counts_(static_cast<std::size_t>(largest) + 2, 0) {}
    void add(int thickness) {
        ++counts_[static_cast<std::size_t>(std::clamp(thickness, 0, static_cast<int>(counts_.size()) - 1))];
        ++total_;
    }
    int median() const {
        int seen = 0;
        for (std::size_t t = 0; t < counts_.size(); ++t) {
            seen += counts_[t];
            if (2 * seen > total_) return static_cast<int>(t);
        }
        return 1;
    }

private:
    std::vector<int> counts_;
    int total_ = 0;
};

// What one column shows where the rule is expected.
enum class ColumnKind {
    Rule,     // a run of the rule's thickness on the line
    Crossed,  // a thicker run through the rule's band: a character meets it
    Gap,      // nothing dark on the line
};

struct Column {
    ColumnKind kind = ColumnKind::Gap;
    int top = 0;  // the run's first and last dark rows
    int bottom = 0;
};

// Rows of the view already passed by a trace, per row as column intervals.
struct Interval {
    int from;
    int to;  // inclusive
};

class Tracer {
public:
    Tracer(const ViewPixels& pixels, const RuleTracker::Settings& settings)
        : pixels_(pixels),
          width_(pixels.width()),
          height_(pixels.height()),
          maxThickness_(std::clamp(settings.maxThickness, 1, RuleTracker::kThickest)),
          maxGap_(std::max(settings.maxGap, RuleTracker::kLeastGap)),
          reach_(2 * maxThickness_ + 4),
          longestBreak_(std::max(RuleTracker::kMaxCrossing, maxGap_ + 1)),
          passed_(static_cast<std::size_t>(std::max(height_, 0))) {}

    std::vector<LineRecord> run() {
        for (int y = 0; y < height_; ++y) seedRow(y);
        std::sort(rules_.begin(), rules_.end(),
                  [](const LineRecord& a, const LineRecord& b) { return a.y1 != b.y1 ? a.y1 < b.y1 : a.x1 < b.x1; });
        return std::move(rules_);
    }

private:
    // The dark run of column x through the dark pixel (x, y), at most reach_
    // rows either way.
    Column runThrough(int x, int y) const {
        Column c;
        c.top = y;
        while (c.top > 0 && y - c.top < reach_ && pixels_.darkInside(x, c.top - 1)) --c.top;
        c.bottom = y;
        while (c.bottom + 1 < height_ && c.bottom - y < reach_ && pixels_.darkInside(x, c.bottom + 1)) ++c.bottom;
        return c;
    }

    Column look(int x, double centre, int thickness) const {
        const int row = static_cast<int>(std::floor(centre + 0.5));
        for (const int d : {0, -1, 1, -2, 2}) {
            if (!pixels_.dark(x, row + d)) continue;
            Column c = runThrough(x, row + d);
            const int k = c.bottom - c.top + 1;
            const double middle = (c.top + c.bottom) / 2.0;
            if (k <= maxThickness_ + 1 && k <= thickness + 1 && std::abs(middle - centre) <= 1.5) {
                c.kind = ColumnKind::Rule;
            } else {
                const double half = (thickness - 1) / 2.0;
                const bool covers = c.top <= centre - half + 1.0 && c.bottom >= centre + half - 1.0;
                c.kind = covers ? ColumnKind::Crossed : ColumnKind::Gap;
            }
            return c;
        }
        return {};
    }

    // Follows the rule from column `from` in direction `step` until the
    // white columns since the last column of the rule alone exceed the
    // largest gap (characters crossing it do not count), or such columns are
    // too far apart. Returns the last column of the rule alone, leaving out
    // fragments of fewer than kEndFragment such columns that white columns
    // part from the rest: the bits of letters that lie on the line beyond a
    // rule's end. `ruleColumns` counts the columns of the rule alone kept.
    int walk(int from, int step, CentreFit& fit, ThicknessCount& thickness, int& ruleColumns) {
        kinds_.clear();
        int last = 0;  // index into kinds_ (0: `from` itself, a column of the rule)
        int gaps = 0;
        int thick = thickness.median();
        kinds_.push_back(ColumnKind::Rule);
        for (int x = from + step; x >= 0 && x < width_; x += step) {
            if (static_cast<int>(kinds_.size()) - last > longestBreak_) break;
            const Column c = look(x, fit.centre(x), thick);
            kinds_.push_back(c.kind);
            if (c.kind == ColumnKind::Rule) {
                fit.add(x, (c.top + c.bottom) / 2.0);
                thickness.add(c.bottom - c.top + 1);
                thick = thickness.median();
                last = static_cast<int>(kinds_.size()) - 1;
                gaps = 0;
            } else if (c.kind == ColumnKind::Gap && ++gaps > maxGap_) {
                break;
            }
        }
        // Drop the outer fragments.
        for (;;) {
            int count = 0;
            int i = last;
            while (i > 0 && kinds_[static_cast<std::size_t>(i)] != ColumnKind::Gap) {
                count += kinds_[static_cast<std::size_t>(i)] == ColumnKind::Rule;
                --i;
            }
            if (i == 0 || count >= RuleTracker::kEndFragment) break;
            while (i > 0 && kinds_[static_cast<std::size_t>(i)] != ColumnKind::Rule) --i;
            last = i;
        }
        for (int i = 1; i <= last; ++i) ruleColumns += kinds_[static_cast<std::size_t>(i)] == ColumnKind::Rule;
        return from + step * last;
    }

    bool passed(int y, int x) const {
        for (const Interval& i : passed_[static_cast<std::size_t>(y)])
            if (x >= i.from && x <= i.to) return true;
        return false;
    }

    // Marks the rows of a trace from `left` to `right` within `tolerance` of
    // its line.
    void markPassed(int left, int right, const CentreFit& fit, double tolerance) {
        const double slope = fit.slope();
        const double a = fit.centre(left);
        const double b = fit.centre(right);
        const int lowRow = std::max(static_cast<int>(std::floor(std::min(a, b) - tolerance)), 0);
        const int highRow = std::min(static_cast<int>(std::ceil(std::max(a, b) + tolerance)), height_ - 1);
        for (int r = lowRow; r <= highRow; ++r) {
            int from = left;
            int to = right;
            if (slope != 0.0) {
                // Columns where |r - centre(x)| <= tolerance.
                const double x1 = left + (r - tolerance - a) / slope;
                const double x2 = left + (r + tolerance - a) / slope;
                // Clamped before the conversion: a slope near 0 puts them far off.
                from = static_cast<int>(std::floor(std::clamp(std::min(x1, x2), double(left), double(right) + 1.0)));
                to = static_cast<int>(std::ceil(std::clamp(std::max(x1, x2), double(left) - 1.0, double(right))));
            }
            if (from <= to) passed_[static_cast<std::size_t>(r)].push_back({from, to});
        }
    }

    void seedRow(int y) {
        const std::uint8_t* bits = pixels_.plainRow(y);
        int x = 0;
        while (x < width_) {
            // Skip white, a byte at a time on 1-bit rows.
            if (bits) {
                while (x < width_ && (x & 7) == 0 && bits[x >> 3] == 0xFF) x += 8;
                if (x >= width_) break;
            }
            if (!pixels_.darkInside(x, y)) {
                ++x;
                continue;
            }
            const int start = x;
            if (bits) {
                while (x < width_ && (x & 7) != 0 && pixels_.darkInside(x, y)) ++x;
                while (x + 8 <= width_ && (x & 7) == 0 && bits[x >> 3] == 0x00) x += 8;
            }
            while (x < width_ && pixels_.darkInside(x, y)) ++x;
            if (x - start >= RuleTracker::kSeedLength && !passed(y, (start + x - 1) / 2)) trace(y, start, x);
        }
    }

    // A trace from the dark run [xa, xb) of row y.
    void trace(int y, int xa, int xb) {
        // A column of the run where it is no thicker than a rule.
        constexpr int kTries = 9;
        int x0 = -1;
        Column seed;
        for (int i = 0; i < kTries; ++i) {
            const int x = i == 0 ? (xa + xb - 1) / 2 : xa + (xb - 1 - xa) * (i - 1) / (kTries - 2);
            const Column c = runThrough(x, y);
            const int k = c.bottom - c.top + 1;
            if (k <= maxThickness_ && (x0 < 0 || k < seed.bottom - seed.top + 1)) {
                x0 = x;
                seed = c;
            }
        }
        if (x0 < 0) {
            passed_[static_cast<std::size_t>(y)].push_back({xa, xb - 1});
            return;
        }
        CentreFit fit(x0);
        ThicknessCount thickness(maxThickness_);
        fit.add(x0, (seed.top + seed.bottom) / 2.0);
        thickness.add(seed.bottom - seed.top + 1);
        int ruleColumns = 1;
        const int right = walk(x0, 1, fit, thickness, ruleColumns);
        const int left = walk(x0, -1, fit, thickness, ruleColumns);
        const int t = thickness.median();
        const int length = right - left + 1;
        const bool rule = length >= RuleTracker::kShortestRule && ruleColumns >= RuleTracker::kRuleShare * length;
        // A rule's rows and the row beside them start no other trace. A trace
        // that found no rule passes only its own row: another row of the same
        // run may show the rule better.
        if (!rule) {
            passed_[static_cast<std::size_t>(y)].push_back({std::min(left, xa), std::max(right, xb - 1)});
            return;
        }
        markPassed(std::min(left, xa), std::max(right, xb - 1), fit, t / 2.0 + 1.0);

        // The row above the upper edge at both ends, as the line signature
        // records it.
        const auto above = [&](int x) { return static_cast<int>(std::floor(fit.centre(x) - (t - 1) / 2.0 + 0.5)) - 1; };
        LineRecord r;
        r.orientation = 0;
        r.x1 = left;
        r.x2 = right + 1;
        r.y1 = above(left);
        r.y2 = above(right + 1);
        r.length = std::hypot(r.x2 - r.x1, r.y1 - r.y2);
        r.angle = std::atan(static_cast<double>(r.y1 - r.y2) / (r.x2 - r.x1));
        rules_.push_back(r);
    }

    const ViewPixels& pixels_;
    const int width_;
    const int height_;
    const int maxThickness_;
    const int maxGap_;
    const int reach_;
    // The most columns between two that show the rule alone.
    const int longestBreak_;
    std::vector<std::vector<Interval>> passed_;
    // What the columns of a walk showed, from its first column outward.
    std::vector<ColumnKind> kinds_;
    std::vector<LineRecord> rules_;
};

}  // namespace

std::vector<LineRecord> RuleTracker::find(const ViewPixels& pixels, const Settings& settings) {
    if (pixels.width() <= 0 || pixels.height() <= 0) return {};
    return Tracer(pixels, settings).run();
}
