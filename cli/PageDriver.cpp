// A process's run reports 0 ... 100; with n processes taking the page, the
// k-th run's p maps to (k + p / 100) / n of the page.
#include "cli/PageDriver.h"

#include "cli/CliError.h"
#include "cli/ProcessFactory.h"

#include <algorithm>

PageDriver::PageDriver(std::vector<PipelineStep> steps, ProgressListener listener)
    : steps_(std::move(steps)), listener_(std::move(listener)) {
    for (const PipelineStep& step : steps_) {
        filters_.emplace_back(step.process.p_, u"ShouldProcessPage");
        if (!filters_.back().Found())
            throw CliError(step.name +
                           " offers no page filter (ShouldProcessPage); the module is too old for this "
                           "command");
        connections_.push_back(
            std::make_unique<ProgressConnection>(step.process.p_, [this](long percent) { StepProgress(percent); }));
    }
}

PageDriver::~PageDriver() = default;

HRESULT PageDriver::Accepts(std::size_t step, CZRPage* page, bool* accepted) const {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_UNKNOWN;
    argument.punkVal = static_cast<IZRPage*>(page);
    CComVariant answer;
    const HRESULT hr = filters_[step].Call(argument, &answer);
    *accepted = SUCCEEDED(hr) && answer.vt == VT_BOOL && answer.boolVal != VARIANT_FALSE;
    return hr;
}

void PageDriver::StepProgress(long percent) {
    if (!listener_ || selected_ == 0) return;
    const double within = std::clamp(percent, 0L, 100L) / 100.0;
    const double fraction = (static_cast<double>(running_) + within) / static_cast<double>(selected_);
    if (fraction <= told_) return;
    told_ = std::min(fraction, 1.0);
    listener_(told_);
}

PageOutcome PageDriver::Run(CZRPage* page, CZRDocument* document) {
    PageOutcome outcome;
    LONG number = 0;
    page->GetPageNumber(&number);
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        bool accepted = false;
        if (const HRESULT hr = Accepts(i, page, &accepted); FAILED(hr)) {
            outcome.ok = false;
            outcome.failedProcess = steps_[i].name;
            outcome.message = "the page filter failed: " + ProcessFactory::LastErrorText(hr);
            outcome.hr = hr;
            return outcome;
        }
        if (accepted) chosen.push_back(i);
    }
    selected_ = chosen.size();
    told_ = 0.0;
    if (listener_) listener_(0.0);
    for (running_ = 0; running_ < chosen.size(); ++running_) {
        const PipelineStep& step = steps_[chosen[running_]];
        outcome.ran.push_back(step.name);
        VARIANT_BOOL handled = VARIANT_FALSE;
        const HRESULT hr = step.process->Process(page, &handled);
        if (FAILED(hr)) {
            outcome.ok = false;
            outcome.failedProcess = step.name;
            outcome.message = ProcessFactory::LastErrorText(hr);
            outcome.hr = hr;
            break;
        }
        // A process that fires no events still moves the page on when it ends.
        StepProgress(100);
        if (document && document->Removed(number)) {
            outcome.removed = true;
            break;
        }
        if (!handled) outcome.unhandled.push_back(step.name);
    }
    selected_ = 0;
    if (listener_ && outcome.ok && told_ < 1.0) listener_(1.0);
    return outcome;
}
