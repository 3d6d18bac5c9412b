// Runs a pipeline of processes over every page of every input file and
// writes each result file beside no other: under a temporary name in the
// output folder, then renamed. A failing page keeps its input pixels, is
// reported with file, page, process and message, and the batch goes on.
// Cost: the processes' own plus one decode and one encode per page.
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <nlohmann/json.hpp>

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
};

struct BatchResult {
    long pages = 0;
    long failedPages = 0;
    long failedFiles = 0;
    long removedPages = 0;
    std::vector<std::string> written;
    nlohmann::json report = nlohmann::json::array();
};

class BatchRunner {
public:
    BatchRunner(std::vector<PipelineStep> steps, BatchOptions options);
    BatchResult Run(const std::vector<std::string>& inputs);

private:
    bool RunFile(const std::string& input, BatchResult& result, long& done, class ProgressBar& bar);
    std::vector<PipelineStep> steps_;
    BatchOptions options_;
};
