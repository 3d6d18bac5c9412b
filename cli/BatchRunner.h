// Runs a pipeline of processes over every page of every input file and
// writes each result file under a temporary name in the
// output folder, then renamed. A failing page keeps its input pixels, is
// reported with file, page, process and message, and the batch goes on.
// With several jobs, files are shared out to worker threads, each with its
// own set of process objects (an object handles one page at a time).
// A page whose process fails is read again from its input file and goes out
// unchanged. Cost: the processes' own plus one decode and one encode per page.
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct PipelineStep {
    std::string name;
    CComPtr<IZRProcessEx> process;
};

struct BatchOptions {
    std::string outputDir;
    bool failFast = false;
    bool progress = false;
    int jobs = 1;
};

using PipelineFactory = std::function<std::vector<PipelineStep>()>;

struct BatchResult {
    long pages = 0;
    long failedPages = 0;
    long failedFiles = 0;
    long removedPages = 0;
    long unhandledPages = 0;  // pages some process answered it did not handle
    std::vector<std::string> written;
    nlohmann::json report = nlohmann::json::array();
};

class BatchRunner {
public:
    // `makePipeline` builds one pipeline per worker.
    BatchRunner(PipelineFactory makePipeline, BatchOptions options);
    BatchResult Run(const std::vector<std::string>& inputs);

private:
    struct FileOutcome;
    void RunFile(const std::vector<PipelineStep>& steps, const std::string& input, FileOutcome& outcome,
                 class ProgressBar& bar);
    void Say(const std::string& line, class ProgressBar& bar);
    PipelineFactory makePipeline_;
    BatchOptions options_;
    std::mutex lock_;  // guards the terminal, the progress count and the stop flag
    long done_ = 0;
    bool stop_ = false;
};
