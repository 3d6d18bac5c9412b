// One worker's pipeline: its own process objects, each page handed to every
// process whose page filter (the process's own "ShouldProcessPage") accepts
// it, in order. The processes' progress events are followed so the listener
// sees the page advance within and between processes, never going back.
// A failing process ends the page's run; a removed page ends it too.
// Processes that read or delete the page's own file (page removal) get a
// working copy of the page (PageStaging), made only for pages such a
// process takes, so other pipelines pay nothing.
// Cost: the processes' own, plus one copy or encode per staged page.
#pragma once

#include "cli/LateBound.h"
#include "cli/PageStaging.h"
#include "cli/ProgressSink.h"
#include "host/CZRDocument.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct PipelineStep {
    std::string name;  // as shown to users: the process's own name, else its class
    CComPtr<IZRProcessEx> process;
    std::string kind;  // the class's short name ("Despeckle")
};

struct PageOutcome {
    bool ok = true;
    bool removed = false;
    std::string removedBy;               // the process that removed the page
    std::string removalMessage;          // its last status message on the page
    std::vector<std::string> ran;        // processes whose filter took the page
    std::vector<std::string> unhandled;  // processes that answered they left the page alone
    std::string failedProcess;           // when !ok
    std::string message;
    HRESULT hr = S_OK;
};

class PageDriver {
public:
    // Fraction of the current page done, 0 ... 1, non-decreasing within a page.
    using ProgressListener = std::function<void(double fraction)>;

    // Throws CliError when a process offers no page filter. Working copies go
    // in a private folder under `stagingParent` (empty: $TMPDIR, else /tmp).
    explicit PageDriver(std::vector<PipelineStep> steps, ProgressListener listener = {},
                        std::string stagingParent = "");
    ~PageDriver();
    PageDriver(const PageDriver&) = delete;
    PageDriver& operator=(const PageDriver&) = delete;

    const std::vector<PipelineStep>& Steps() const { return steps_; }
    PageOutcome Run(CZRPage* page, CZRDocument* document);

private:
    HRESULT Accepts(std::size_t step, CZRPage* page, bool* accepted) const;
    void StepProgress(long percent);

    std::vector<PipelineStep> steps_;
    std::vector<LateBound> filters_;
    std::vector<bool> usesPageFile_;  // per step: the process stats or deletes the page's file
    PageStaging staging_;
    std::vector<std::unique_ptr<ProgressConnection>> connections_;
    ProgressListener listener_;
    // The page in progress: its selected steps, the one running, the last fraction told.
    std::size_t selected_ = 0;
    std::size_t running_ = 0;
    double told_ = 0.0;
};
