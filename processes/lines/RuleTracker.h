// Finds the straight horizontal rules of the current view of a page by their
// dark runs, whatever lies above or below them: every dark run of at least
// kSeedLength pixels along a row starts a trace (unless an earlier trace
// already passed through it), which follows the rule column by column through
// the vertical dark run nearest the line fitted so far (slant up to about 2.5
// degrees), crosses the columns where a character meets the rule (its run
// there is thicker than the rule) and breaks of up to the allowed gap. A trace
// is a rule when at least half of its columns hold a run of the rule's own
// thickness on the fitted line. The rules are returned as line records in the
// line signature's convention (y1, y2: the row just above the rule's upper
// edge at x1 and x2; columns x1 .. x2 - 1). Cost: one pass over the view's
// rows (a byte at a time on 1-bit pages), plus a few pixel tests per column
// of every trace.
#pragma once

#include "processes/lines/LineRecord.h"
#include "processes/lines/ViewPixels.h"

#include <vector>

class RuleTracker {
public:
    // Rows of a rule's dark run that start a trace: a 1-pixel rule slanted by
    // 2.5 degrees still has runs of 22 pixels.
    static constexpr int kSeedLength = 20;
    // The steepest slope followed (rows per column), about 2.6 degrees.
    static constexpr double kMaxSlope = 0.045;
    // Columns needed before the fit's slope is trusted; until then it is level.
    static constexpr int kSlopeSpan = 20;
    // The most columns in a row where characters cross the rule.
    static constexpr int kMaxCrossing = 60;
    // Breaks along a rule always crossed, whatever the largest gap.
    static constexpr int kLeastGap = 2;
    // How far across the line a column looks for the rule's run.
    static constexpr int kSearch = 2;
    // The share of a trace's columns that must show the rule alone.
    static constexpr double kRuleShare = 0.5;
    // Fewer columns of the rule alone than this, parted from the rest of a
    // trace by white columns, are no part of it (bits of letters lying on
    // the line beyond a rule's end).
    static constexpr int kEndFragment = 24;
    // Shortest rule reported.
    static constexpr int kShortestRule = 30;
    // The thickest rule followed (the thickest line removal erases).
    static constexpr int kThickest = 50;

    struct Settings {
        int maxThickness = 0;  // thickest rule, pixels (taken within 1 .. kThickest)
        int maxGap = 0;        // largest break along a rule, pixels
    };

    // The rules of the view, sorted by y1.
    static std::vector<LineRecord> find(const ViewPixels& pixels, const Settings& settings);
};
