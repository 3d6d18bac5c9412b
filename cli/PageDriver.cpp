// A process's run reports 0 ... 100; with n processes taking the page, the
// k-th run's p maps to (k + p / 100) / n of the page.
#include "cli/PageDriver.h"

#include "cli/CliError.h"
#include "cli/ProcessFactory.h"
#include "host/HostInterfaces.h"

#include <algorithm>
#include <string_view>

namespace {

// Processes that stat or delete the file behind a page's image.
constexpr std::string_view kPageFileKinds[] = {"PageRemoval"};

bool UsesPageFile(const std::string& kind) {
    return std::find(std::begin(kPageFileKinds), std::end(kPageFileKinds), kind) != std::end(kPageFileKinds);
}

// The text of the last status message `process` left on the page.
std::string LastMessageOf(CZRPage* page, const std::string& process) {
    std::string text;
    LONG count = 0;
    page->Messages()->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<ZRStatusMessage> message;
        if (FAILED(page->Messages()->GetItem(i, &message))) continue;
        CComBSTR name, said;
        message->GetProcessName(&name);
        if (name.utf8() != process) continue;
        message->GetText(&said);
        text = said.utf8();
    }
    return text;
}

}  // namespace

PageDriver::PageDriver(std::vector<PipelineStep> steps, ProgressListener listener, std::string stagingParent)
    : steps_(std::move(steps)), staging_(std::move(stagingParent)), listener_(std::move(listener)) {
    for (const PipelineStep& step : steps_) {
        usesPageFile_.push_back(UsesPageFile(step.kind));
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
    // The working copy is made from the page as read, before any process runs.
    const auto fileUser = std::find_if(chosen.begin(), chosen.end(), [&](std::size_t i) { return usesPageFile_[i]; });
    const bool staged = fileUser != chosen.end() && document;
    if (staged) {
        try {
            staging_.Stage(page, document);
        } catch (const RunFailure& e) {
            staging_.Release(page, document);
            outcome.ok = false;
            outcome.failedProcess = steps_[*fileUser].name;
            outcome.message = e.what();
            outcome.hr = E_FAIL;
            return outcome;
        }
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
            outcome.removedBy = step.name;
            outcome.removalMessage = LastMessageOf(page, step.name);
            break;
        }
        if (!handled) outcome.unhandled.push_back(step.name);
    }
    selected_ = 0;
    if (staged) staging_.Release(page, document);
    if (listener_ && outcome.ok && told_ < 1.0) listener_(1.0);
    return outcome;
}
