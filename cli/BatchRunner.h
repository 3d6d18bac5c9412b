// Runs a pipeline over every page of every input file. `-j N` starts N
// worker threads that share one bounded page queue: a worker decodes the
// next page of the file being read, processes a decoded page (of any file)
// with its own PageDriver, or encodes processed pages into their file in page
// order, whichever is most urgent (encode, then process, then decode). So the
// pages of one large file keep every worker busy, and while one page is
// processed the next is decoded and the previous one encoded. At most two
// pages per worker are between decode and encode, so memory stays bounded
// however long the files. An output file appears, under its input's name and
// format, only when all its pages went through and were written. A failing
// page keeps its input pixels, is reported with file, page, process and
// message, and the batch goes on (unless fail-fast: no further page starts,
// and files not completely done are not written). Pipelines with a process
// that keeps state across a document's pages (PageRemoval) take the pages of
// one file one at a time, in order. A dry run checks the inputs and writes
// nothing. Cost: the processes' own plus one decode and one encode per page.
#pragma once

#include "cli/PageDriver.h"
#include "cli/Report.h"
#include "platform/imagelib/ImageWrapper.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class RunJournal;

struct BatchOptions {
    std::string outputDir;
    bool failFast = false;
    bool progress = false;
    bool dryRun = false;
    int jobs = 1;
    std::string removedDir;              // where removed pages go; empty: dropped
    imagefile::Compression compression;  // how outputs are compressed (JPEG: near the input's quality)
    RunJournal* journal = nullptr;       // when given, every finished file's report entries go there at once
};

using PipelineFactory = std::function<std::vector<PipelineStep>()>;

struct BatchResult {
    long pages = 0;
    long failedPages = 0;
    long failedFiles = 0;
    long unwritableFiles = 0;  // of failedFiles: the output could not be created, written or renamed
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
    ~BatchRunner();
    BatchResult Run(const std::vector<std::string>& inputs);

    // Refuses (CliError) a run whose outputs would collide with each other or
    // overwrite an input, or whose report would replace an input, an output
    // or the output folder.
    static void CheckTargets(const std::vector<std::string>& inputs, const std::string& outputDir,
                             const std::string& reportPath);
    // Whether a pipeline has a process that keeps state across the pages of
    // a document, so that one file's pages must go through in order.
    static bool SharesDocumentState(const std::vector<PipelineStep>& steps);

private:
    struct FileOutcome;
    struct Worker;
    struct FileJob;
    struct PageTask;

    void Work(Worker& worker);
    FileJob* FileToWrite();
    std::unique_ptr<PageTask> TakeDecodedPage();
    bool CanDecode() const;
    bool Drained(const FileJob& file) const;
    void Decode(std::unique_lock<std::mutex>& queue);
    std::unique_ptr<FileJob> OpenFile(std::size_t index);
    void Process(std::unique_lock<std::mutex>& queue, Worker& worker, std::unique_ptr<PageTask> task);
    void RunPage(Worker& worker, PageTask& task);
    void Encode(std::unique_lock<std::mutex>& queue, FileJob& file);
    void Finish(std::unique_lock<std::mutex>& queue, FileJob& file);
    void Release(FileJob& file, long pages);
    void FileError(FileJob& file, const std::string& cause, bool unwritable);
    void FileError(FileOutcome& outcome, const std::string& input, const std::string& cause, bool unwritable);

    void CheckFile(const std::string& input, FileOutcome& outcome);
    void Say(const std::string& line);
    void Warn(const std::string& text, FileOutcome* outcome);
    void ShowProgress(Worker& worker, double fraction);

    PipelineFactory makePipeline_;
    BatchOptions options_;
    std::mutex lock_;  // guards the terminal, the progress counts and the warnings said
    class ProgressBar* bar_ = nullptr;
    double pagesDone_ = 0;
    std::vector<double> inFlight_;  // per worker: the done part of its current page
    std::set<std::string> warned_;

    // The page queue, under queueLock_ (taken before lock_, never after).
    std::mutex queueLock_;
    std::condition_variable changed_;
    const std::vector<std::string>* inputs_ = nullptr;
    std::vector<FileOutcome>* outcomes_ = nullptr;
    std::size_t nextInput_ = 0;
    std::list<std::unique_ptr<FileJob>> open_;     // files being read, processed or written
    FileJob* reading_ = nullptr;                   // the file whose pages are decoded next
    bool decoding_ = false;                        // a worker is decoding (or opening a file)
    std::deque<std::unique_ptr<PageTask>> ready_;  // decoded pages, oldest first
    long tokens_ = 0;                              // pages that may still be decoded before some are written
    bool ordered_ = false;                         // one page of a file at a time, in order
    bool stop_ = false;                            // fail-fast: no further page starts
};
