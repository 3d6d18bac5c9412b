// Progress arithmetic and firing.
#include "framework/CZRProgressTracker.h"

#include "framework/CZRException.h"

#include <algorithm>

void CZRProgressTracker::Fire(DISPID id, const LONG* percent) {
    BSTR copy = nullptr;
    if (name_.m_str()) {
        copy = name_.Copy();
        if (!copy) throw CZRException(E_OUTOFMEMORY);
    }
    EventPoint().Fire(id, copy, percent);
    SysFreeString(copy);
}

// A new run starts from 0 with a fresh mapping: without this, the second page
// of a batch would be mapped through the first page's sub-ranges and its
// reports below the first page's final value would never be fired.
void CZRProgressTracker::beginProgress(BSTR name) {
    name_ = CComBSTR(name);
    last_ = 0;
    dirty_ = true;
    Fire(DISPID_PROCESS_STARTED, nullptr);
}

void CZRProgressTracker::reportProgress(int percent) {
    if (dirty_) {
        runLow_ = 0.0;
        runHigh_ = 100.0;
        for (const auto& [a, b] : ranges_) {
            if (runLow_ == 0.0)
                runLow_ = a;
            else if (a > 0)
                runLow_ = runLow_ * a / 100.0;
            runHigh_ = runHigh_ * b / 100.0;
        }
        dirty_ = false;
    }
    const auto value = static_cast<LONG>(runLow_ + (runHigh_ - runLow_) * percent / 100.0);
    if (value >= last_) Fire(DISPID_PROCESS_PROGRESS, &value);
    last_ = value;
}

void CZRProgressTracker::pushRange(int low, int high) {
    low = std::clamp(low, 0, 100);
    high = std::clamp(high, 0, 100);
    ranges_.emplace_back(std::min(low, high), std::max(low, high));
    dirty_ = true;
    reportProgress(0);
}

void CZRProgressTracker::replaceRange(int low, int high) {
    if (!ranges_.empty()) ranges_.pop_back();
    dirty_ = true;
    pushRange(low, high);
}

void CZRProgressTracker::popRange() {
    if (!ranges_.empty()) ranges_.pop_back();
    dirty_ = true;
}

void CZRProgressTracker::endProgress() {
    ranges_.clear();
    reportProgress(100);
    Fire(DISPID_PROCESS_FINISHED, nullptr);
}
