// Runs a pipeline over every page of every input file, one page at a time:
// read a page, run it through the worker's PageDriver, add it to the output
// file, next page. An output file appears, under its input's name and
// format, only when all its pages went through and were written. A failing
// page keeps its input pixels, is reported with file, page, process and
// message, and the batch goes on (unless fail-fast, which also leaves the
// file it stopped in unwritten). With several jobs, files are shared out to
// worker threads, each with its own process objects. A dry run checks the
// inputs and writes nothing. Cost: the processes' own plus one decode and
// one encode per page.
#pragma once

#include "cli/PageDriver.h"
#include "cli/Report.h"
#include "platform/imagelib/ImageWrapper.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct BatchOptions {
    std::string outputDir;
    bool failFast = false;
    bool progress = false;
    bool dryRun = false;
    int jobs = 1;
    std::string removedDir;              // where removed pages go; empty: dropped
    imagefile::Compression compression;  // how outputs are compressed (JPEG: near the input's quality)
};

using PipelineFactory = std::function<std::vector<PipelineStep>()>;

struct BatchResult {
    long pages = 0;
    long failedPages = 0;
    long failedFiles = 0;
    long removedPages = 0;
    long unhandledPages = 0;  // pages some process answered it did not handle
    long warnings = 0;
    std::vector<std::string> written;
    std::vector<std::string> removed;         // "FILE: page N: PROCESS: message", one per removed page
    std::vector<std::string> removedWritten;  // the files of removed pages (--removed)
    Report report;
};

class BatchRunner {
public:
    // `makePipeline` builds one pipeline per worker.
    BatchRunner(PipelineFactory makePipeline, BatchOptions options);
    BatchResult Run(const std::vector<std::string>& inputs);

    // Refuses (CliError) a run whose outputs would collide with each other or
    // overwrite an input, or whose report would replace an input, an output
    // or the output folder.
    static void CheckTargets(const std::vector<std::string>& inputs, const std::string& outputDir,
                             const std::string& reportPath);

private:
    struct FileOutcome;
    struct Worker;
    void RunFile(Worker& worker, const std::string& input, FileOutcome& outcome);
    void CheckFile(const std::string& input, FileOutcome& outcome);
    void Say(const std::string& line);
    void Warn(const std::string& text, FileOutcome* outcome);
    void ShowProgress(Worker& worker, double fraction);

    PipelineFactory makePipeline_;
    BatchOptions options_;
    std::mutex lock_;  // guards the terminal, the progress counts, the warnings said and the stop flag
    class ProgressBar* bar_ = nullptr;
    double pagesDone_ = 0;
    std::vector<double> inFlight_;  // per worker: the done part of its current page
    std::set<std::string> warned_;
    bool stop_ = false;
};
