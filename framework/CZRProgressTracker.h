// Progress of a process on a page, as events to subscribed hosts: a named run
// (301 started, 302 finished) and percentages (303) mapped through a stack of
// nested sub-ranges. Each report is O(stack depth) plus one event per sink.
#pragma once

#include "framework/CZRConnectionPoint.h"

#include <deque>
#include <utility>

class CZRProgressTracker : public CZREventSource {
public:
    void beginProgress(BSTR name);
    void reportProgress(int percent);
    void pushRange(int low, int high);
    void replaceRange(int low, int high);
    void popRange();
    void endProgress();

protected:
    CZRProgressTracker() = default;
    ~CZRProgressTracker() = default;

private:
    void Fire(DISPID id, const LONG* percent);

    double runLow_ = 0.0;
    double runHigh_ = 0.0;
    bool dirty_ = true;
    LONG last_ = 0;
    std::deque<std::pair<LONG, LONG>> ranges_;
    CComBSTR name_;
};

// Ends the progress run when Process leaves, normally or by an exception.
class ProgressRunGuard {
public:
    ProgressRunGuard(CZRProgressTracker& tracker, BSTR name) : tracker_(tracker) { tracker_.beginProgress(name); }
    ~ProgressRunGuard() {
        try {
            tracker_.endProgress();
        } catch (...) {
            // An event that cannot be built must not replace the page's own result.
        }
    }
    ProgressRunGuard(const ProgressRunGuard&) = delete;
    ProgressRunGuard& operator=(const ProgressRunGuard&) = delete;

private:
    CZRProgressTracker& tracker_;
};

// A sub-range of the progress run for one step: pushed on construction and
// popped however the step ends, so pushes and pops always pair.
class ProgressRange {
public:
    ProgressRange(CZRProgressTracker& tracker, int low, int high) : tracker_(tracker) { tracker_.pushRange(low, high); }
    ~ProgressRange() { tracker_.popRange(); }
    // The next step's sub-range in place of this one.
    void replace(int low, int high) { tracker_.replaceRange(low, high); }
    ProgressRange(const ProgressRange&) = delete;
    ProgressRange& operator=(const ProgressRange&) = delete;

private:
    CZRProgressTracker& tracker_;
};
