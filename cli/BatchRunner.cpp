// Pages are read one at a time from the input (never all at once); a failing
// page is read again so it goes out as it came in. Every page object of a
// file exists from the start (without pixels), so the document never changes
// shape while workers run pages of it; pixels are attached as pages are
// decoded and freed as they are written. Report entries are kept per page
// and put in page order when the file is done, so the report does not depend
// on the number of workers (but for the times).
#include "cli/BatchRunner.h"

#include "cli/AtomicFile.h"
#include "cli/CliError.h"
#include "cli/InputList.h"
#include "cli/OutputFile.h"
#include "cli/ProgressBar.h"
#include "cli/RemovedPages.h"
#include "cli/RunJournal.h"
#include "cli/SettingWarnings.h"
#include "cli/Text.h"
#include "host/CZRImage.h"
#include "host/HostInterfaces.h"
#include "platform/imagelib/ImageWrapper.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Pages between decode and encode, per worker.
constexpr long kPagesPerWorker = 2;

std::vector<std::string> Messages(CZRPage* page) {
    std::vector<std::string> texts;
    LONG count = 0;
    page->Messages()->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<ZRStatusMessage> message;
        if (FAILED(page->Messages()->GetItem(i, &message))) continue;
        CComBSTR process, said;
        message->GetProcessName(&process);
        message->GetText(&said);
        texts.push_back(process.utf8() + ": " + said.utf8());
    }
    return texts;
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

void FreePixels(CZRPage* page) {
    if (page && page->Image()) page->Image()->SetHandle(-1);
}

}  // namespace

struct BatchRunner::FileOutcome {
    long pages = 0;
    long failedPages = 0;
    long removedPages = 0;
    long unhandledPages = 0;
    long warnings = 0;
    bool fileFailed = false;
    bool unwritable = false;
    bool ok = true;
    std::string written;
    std::vector<std::string> removed;  // "FILE: page N: PROCESS: message"
    std::string removedWritten;
    Report report;
};

struct BatchRunner::Worker {
    std::size_t index = 0;
    std::unique_ptr<PageDriver> driver;
    std::string label;
};

// One input between its opening and its output's commit. Fields are guarded
// by the queue lock except where noted.
struct BatchRunner::FileJob {
    std::size_t index = 0;  // in the input list
    std::string input, shown, target;
    std::unique_ptr<imagefile::PageReader> reader;  // used under readerLock
    std::mutex readerLock;
    CComPtr<CZRDocument> document;
    std::unique_ptr<OutputFile> output;     // used by the one worker that is writing
    std::unique_ptr<RemovedPages> removed;  // likewise
    int pageCount = 0;
    int decoded = 0;      // pages handed to decode so far
    int processNext = 0;  // ordered runs: the page whose turn it is
    bool processing = false;
    int written = 0;  // pages encoded (or dropped as removed) in order
    bool writing = false;
    bool failed = false;  // no output for this file; its remaining pages are dropped
    long inFlight = 0;    // pages decoded (or being decoded) and not yet written or dropped
    std::map<int, std::unique_ptr<PageTask>> processed;  // waiting for their turn to be written
    std::map<int, nlohmann::json> entries;               // report entries by page
    std::vector<nlohmann::json> errors;                  // file-level report entries
};

struct BatchRunner::PageTask {
    FileJob* file = nullptr;
    int index = 0;
    CComPtr<CZRPage> page;
    PageOutcome outcome;
};

BatchRunner::BatchRunner(PipelineFactory makePipeline, BatchOptions options)
    : makePipeline_(std::move(makePipeline)), options_(std::move(options)) {}

BatchRunner::~BatchRunner() = default;

bool BatchRunner::SharesDocumentState(const std::vector<PipelineStep>& steps) {
    // PageRemoval marks pages removed in the document and remembers there
    // which page of it came first.
    return std::any_of(steps.begin(), steps.end(), [](const PipelineStep& step) { return step.kind == "PageRemoval"; });
}

void BatchRunner::CheckTargets(const std::vector<std::string>& inputs, const std::string& outputDir,
                               const std::string& reportPath) {
    std::map<std::string, std::string> outputs;
    for (const std::string& input : inputs) {
        const std::string name = fs::path(input).filename().string();
        const auto [first, fresh] = outputs.emplace(name, input);
        if (!fresh)
            throw CliError(text::Printable(input) + " and " + text::Printable(first->second) +
                           " would both be written as " + text::Printable(name) +
                           " in the output folder; give each file once and run same-named files separately");
        if (!outputDir.empty() && SameFile(fs::path(outputDir) / name, input))
            throw CliError(text::Printable(input) +
                           ": the output would overwrite the input; choose another output folder");
    }
    if (reportPath.empty()) return;
    const fs::path report(reportPath);
    std::error_code ec;
    const fs::path reportAbsolute = fs::weakly_canonical(report, ec);
    auto same = [&](const fs::path& other) {
        std::error_code e;
        return SameFile(report, other) || (!ec && fs::weakly_canonical(other, e) == reportAbsolute && !e);
    };
    // A dry run has no output folder.
    if (!outputDir.empty() && same(outputDir))
        throw CliError("--report " + text::Printable(reportPath) + " is the output folder");
    for (const std::string& input : inputs) {
        if (same(input))
            throw CliError("--report " + text::Printable(reportPath) + " is an input file (" + text::Printable(input) +
                           "); name a new file for the report");
        if (!outputDir.empty() && same(fs::path(outputDir) / fs::path(input).filename()))
            throw CliError("--report " + text::Printable(reportPath) + " is where the output of " +
                           text::Printable(input) + " goes; name another file for the report");
    }
}

void BatchRunner::Say(const std::string& line) {
    std::lock_guard guard(lock_);
    if (bar_) bar_->Finish();
    std::cerr << line << "\n";
}

void BatchRunner::Warn(const std::string& warning, FileOutcome* outcome) {
    {
        std::lock_guard guard(lock_);
        if (!warned_.insert(warning).second) return;  // said once per run
        if (bar_) bar_->Finish();
        std::cerr << "leafmend: warning: " << warning << "\n";
    }
    if (outcome) {
        outcome->warnings++;
        outcome->report.Add({{"warning", warning}});
    }
}

void BatchRunner::ShowProgress(Worker& worker, double fraction) {
    std::lock_guard guard(lock_);
    if (!bar_) return;
    inFlight_[worker.index] = fraction;
    double shown = pagesDone_;
    for (double part : inFlight_) shown += part;
    bar_->Update(shown, worker.label);
}

BatchResult BatchRunner::Run(const std::vector<std::string>& inputs) {
    BatchResult result;
    std::vector<FileOutcome> outcomes(inputs.size());
    // Every worker's pipeline is built before any page is touched, so a bad
    // pipeline fails the run up front.
    std::vector<Worker> workers(static_cast<std::size_t>(std::max(1, options_.jobs)));
    for (std::size_t i = 0; i < workers.size(); ++i) {
        Worker& worker = workers[i];
        worker.index = i;
        worker.driver = std::make_unique<PageDriver>(
            makePipeline_(), [this, &worker](double fraction) { ShowProgress(worker, fraction); });
    }
    for (const std::string& warning : SettingWarnings::ForPipeline(workers[0].driver->Steps())) {
        Warn(warning, nullptr);
        result.warnings++;
        result.report.Add({{"warning", warning}});
    }

    if (options_.dryRun) {
        for (std::size_t i = 0; i < inputs.size(); ++i) CheckFile(inputs[i], outcomes[i]);
    } else {
        std::error_code ec;
        fs::create_directories(options_.outputDir, ec);
        if (ec || !fs::is_directory(options_.outputDir))
            throw OutputFailure("cannot create the output folder " + text::Printable(options_.outputDir) + ": " +
                                (ec ? ec.message() : "a file of that name exists"));
        if (::access(options_.outputDir.c_str(), W_OK | X_OK) != 0)
            throw OutputFailure("cannot write in the output folder " + text::Printable(options_.outputDir) + ": " +
                                std::strerror(errno));
        for (const std::string& stale : AtomicFile::RemoveStale(options_.outputDir)) {
            const std::string warning = "removed " + text::Printable(stale) + ", left behind by an interrupted run";
            Warn(warning, nullptr);
            result.report.Add({{"warning", warning}});
        }
        long total = 0;
        if (options_.progress)
            for (const std::string& input : inputs)
                total += InputList::Refusal(input).empty() ? std::max(1, imagefile::CountPages(input)) : 1;
        ProgressBar bar(total, options_.progress);
        bar_ = &bar;
        inFlight_.assign(workers.size(), 0.0);
        inputs_ = &inputs;
        outcomes_ = &outcomes;
        nextInput_ = 0;
        tokens_ = kPagesPerWorker * static_cast<long>(workers.size());
        ordered_ = SharesDocumentState(workers[0].driver->Steps());
        stop_ = false;
        if (workers.size() == 1) {
            Work(workers[0]);
        } else {
            std::vector<std::thread> threads;
            for (Worker& worker : workers) threads.emplace_back([this, &worker] { Work(worker); });
            for (std::thread& thread : threads) thread.join();
        }
        bar.Finish();
        bar_ = nullptr;
        inputs_ = nullptr;
        outcomes_ = nullptr;
    }

    for (FileOutcome& outcome : outcomes) {
        result.pages += outcome.pages;
        result.failedPages += outcome.failedPages;
        result.removedPages += outcome.removedPages;
        result.unhandledPages += outcome.unhandledPages;
        result.warnings += outcome.warnings;
        if (outcome.fileFailed) result.failedFiles++;
        if (outcome.unwritable) result.unwritableFiles++;
        if (!outcome.written.empty()) result.written.push_back(outcome.written);
        for (std::string& line : outcome.removed) result.removed.push_back(std::move(line));
        if (!outcome.removedWritten.empty()) result.removedWritten.push_back(outcome.removedWritten);
        result.report.Append(std::move(outcome.report));
    }
    return result;
}

// Dry run: the checks a run makes before decoding, and the page count.
void BatchRunner::CheckFile(const std::string& input, FileOutcome& outcome) {
    const std::string shown = text::Printable(input);
    std::string cause = InputList::Refusal(input);
    int pages = 0;
    if (cause.empty() && imagefile::Sniff(input) == ImageFileFormat::Unknown) cause = "not a TIFF, PNG or JPEG image";
    if (cause.empty() && (pages = imagefile::CountPages(input)) <= 0)
        cause = "cannot read the image (damaged or truncated file)";
    if (!cause.empty()) {
        Say("leafmend: " + shown + ": " + cause);
        outcome.fileFailed = true;
        outcome.ok = false;
        outcome.report.Add({{"file", shown}, {"error", cause}});
        return;
    }
    outcome.pages = pages;
    outcome.report.Add({{"file", shown}, {"pages", pages}, {"ok", true}});
}

// The worker's loop, under the queue lock except while it decodes, runs a
// page or encodes: writing first (it frees memory and finishes files), then
// running a decoded page, then decoding the next one.
void BatchRunner::Work(Worker& worker) {
    std::unique_lock queue(queueLock_);
    for (;;) {
        if (FileJob* file = FileToWrite()) {
            Encode(queue, *file);
        } else if (std::unique_ptr<PageTask> task = TakeDecodedPage()) {
            Process(queue, worker, std::move(task));
        } else if (CanDecode()) {
            Decode(queue);
        } else if (open_.empty() && !decoding_ && (stop_ || nextInput_ >= inputs_->size())) {
            changed_.notify_all();
            return;
        } else {
            changed_.wait(queue);
        }
    }
}

BatchRunner::FileJob* BatchRunner::FileToWrite() {
    for (const std::unique_ptr<FileJob>& file : open_) {
        if (file->writing) continue;
        if (file->processed.count(file->written) || (file->failed && !file->processed.empty()) || Drained(*file))
            return file.get();
    }
    return nullptr;
}

std::unique_ptr<BatchRunner::PageTask> BatchRunner::TakeDecodedPage() {
    for (auto it = ready_.begin(); it != ready_.end();) {
        FileJob& file = *(*it)->file;
        if (stop_ || file.failed) {
            FreePixels((*it)->page);
            it = ready_.erase(it);
            Release(file, 1);
            continue;
        }
        if (ordered_ && (file.processing || file.processNext != (*it)->index)) {
            ++it;
            continue;
        }
        std::unique_ptr<PageTask> task = std::move(*it);
        ready_.erase(it);
        if (ordered_) file.processing = true;
        return task;
    }
    return nullptr;
}

bool BatchRunner::CanDecode() const {
    return !stop_ && !decoding_ && tokens_ > 0 && (reading_ || nextInput_ < inputs_->size());
}

// Nothing of the file is in flight and nothing more will be decoded.
bool BatchRunner::Drained(const FileJob& file) const {
    return file.inFlight == 0 && (file.failed || stop_ || file.decoded == file.pageCount);
}

void BatchRunner::Release(FileJob& file, long pages) {
    tokens_ += pages;
    file.inFlight -= pages;
    changed_.notify_all();
}

void BatchRunner::FileError(FileOutcome& outcome, const std::string& input, const std::string& cause, bool unwritable) {
    Say("leafmend: " + text::Printable(input) + ": " + cause);
    outcome.fileFailed = true;
    outcome.unwritable = outcome.unwritable || unwritable;
    outcome.ok = false;
    outcome.report.Add({{"file", text::Printable(input)}, {"error", cause}});
}

void BatchRunner::FileError(FileJob& file, const std::string& cause, bool unwritable) {
    Say("leafmend: " + file.shown + ": " + cause);
    FileOutcome& outcome = (*outcomes_)[file.index];
    outcome.fileFailed = true;
    outcome.unwritable = outcome.unwritable || unwritable;
    outcome.ok = false;
    file.errors.push_back({{"file", file.shown}, {"error", cause}});
    file.failed = true;
    if (reading_ == &file) reading_ = nullptr;
    changed_.notify_all();
}

namespace {
std::string CauseOf(const std::exception& e) {
    return dynamic_cast<const std::bad_alloc*>(&e) ? "out of memory" : e.what();
}
}  // namespace

void BatchRunner::Decode(std::unique_lock<std::mutex>& queue) {
    decoding_ = true;
    if (!reading_) {
        const std::size_t index = nextInput_++;
        queue.unlock();
        std::unique_ptr<FileJob> job;
        try {
            job = OpenFile(index);
        } catch (const std::exception& e) {
            job.reset();
            FileError((*outcomes_)[index], (*inputs_)[index], CauseOf(e), false);
        }
        queue.lock();
        if (job) {
            if (job->pageCount > 0) reading_ = job.get();
            open_.push_back(std::move(job));
        }
        decoding_ = false;
        changed_.notify_all();
        return;
    }
    FileJob& file = *reading_;
    auto task = std::make_unique<PageTask>();
    task->file = &file;
    task->index = file.decoded++;
    task->page = file.document->Pages()[static_cast<std::size_t>(task->index)];
    if (file.decoded == file.pageCount) reading_ = nullptr;
    file.inFlight++;
    tokens_--;
    queue.unlock();
    std::string error;
    try {
        int handle = -1;
        {
            std::lock_guard guard(file.readerLock);
            handle = file.reader->readPage(task->index);
            if (handle < 0) error = file.reader->error() + "; no output written";
        }
        if (handle >= 0) {
            CComPtr<CZRImage> image = HostObject<IZRImage>::Create<CZRImage>();
            if (!image) {
                ImageWrapper::delete_bitmap(handle);
                throw std::bad_alloc();
            }
            image->Attach(handle, file.input);
            task->page->SetImage(image);
        }
    } catch (const std::exception& e) {
        error = CauseOf(e);
    }
    queue.lock();
    decoding_ = false;
    if (error.empty()) {
        ready_.push_back(std::move(task));
    } else {
        FreePixels(task->page);
        Release(file, 1);
        FileError(file, error, false);
    }
    changed_.notify_all();
}

// The reader checks the whole file (every page's directory and data) before
// the first page is decoded.
std::unique_ptr<BatchRunner::FileJob> BatchRunner::OpenFile(std::size_t index) {
    const std::string& input = (*inputs_)[index];
    FileOutcome& outcome = (*outcomes_)[index];
    if (const std::string refusal = InputList::Refusal(input); !refusal.empty()) {
        FileError(outcome, input, refusal, false);
        return nullptr;
    }
    auto job = std::make_unique<FileJob>();
    job->index = index;
    job->input = input;
    job->shown = text::Printable(input);
    job->target = (fs::path(options_.outputDir) / fs::path(input).filename()).string();
    job->reader = std::make_unique<imagefile::PageReader>();
    if (job->reader->open(input) < 0) {
        FileError(outcome, input, job->reader->error(), false);
        return nullptr;
    }
    job->pageCount = job->reader->pageCount();
    try {
        job->output = std::make_unique<OutputFile>(job->target, job->reader->format(), options_.compression,
                                                   job->reader->jpegQuality());
    } catch (const RunFailure& e) {
        FileError(outcome, input, e.what(), true);
        return nullptr;
    }
    job->removed = std::make_unique<RemovedPages>(options_.removedDir, input, job->reader->format(),
                                                  options_.compression, job->reader->jpegQuality());
    job->document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    if (!job->document) throw std::bad_alloc();
    job->document->SetFilePath(input);
    for (int i = 0; i < job->pageCount; ++i)
        if (!job->document->AppendPage(-1)) throw std::bad_alloc();
    return job;
}

void BatchRunner::Process(std::unique_lock<std::mutex>& queue, Worker& worker, std::unique_ptr<PageTask> task) {
    FileJob& file = *task->file;
    queue.unlock();
    std::string error;
    try {
        RunPage(worker, *task);
    } catch (const std::exception& e) {
        error = CauseOf(e);
    }
    queue.lock();
    if (ordered_) {
        file.processing = false;
        file.processNext++;
    }
    if (!error.empty()) {
        FreePixels(task->page);
        Release(file, 1);
        FileError(file, error, false);
        return;
    }
    FileOutcome& outcome = (*outcomes_)[file.index];
    const PageOutcome& result = task->outcome;
    outcome.pages++;
    if (!result.unhandled.empty()) outcome.unhandledPages++;
    if (result.removed) {
        outcome.removedPages++;
        LONG number = 0;
        task->page->GetPageNumber(&number);
        outcome.removed.push_back(file.shown + ": page " + std::to_string(number) + ": " + result.removedBy + ": " +
                                  result.removalMessage);
    }
    if (!result.ok) {
        outcome.failedPages++;
        outcome.ok = false;
        if (options_.failFast && !file.failed) {
            Say("leafmend: " + file.shown + ": stopped by --fail-fast; no output written for this file");
            file.failed = true;
            if (reading_ == &file) reading_ = nullptr;
            stop_ = true;
        }
    }
    if (file.failed) {
        FreePixels(task->page);
        Release(file, 1);
    } else {
        file.processed.emplace(task->index, std::move(task));
    }
    changed_.notify_all();
}

// Runs the worker's pipeline on one decoded page and records its report
// entry; outside the queue lock.
void BatchRunner::RunPage(Worker& worker, PageTask& task) {
    FileJob& file = *task.file;
    CZRPage* page = task.page;
    LONG number = 0;
    page->GetPageNumber(&number);
    nlohmann::json entry = {{"file", file.shown}, {"page", number}};
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(page->Image()->Handle(), &header);
    nlohmann::json warnings = nlohmann::json::array();
    for (const std::string& warning :
         SettingWarnings::ForPage(worker.driver->Steps(), header.biWidth, header.biHeight, header.biBitCount)) {
        Warn(file.shown + ": page " + std::to_string(number) + ": " + warning, nullptr);
        warnings.push_back(warning);
    }
    {
        std::lock_guard guard(lock_);
        worker.label = fs::path(file.input).filename().string() + " p" + std::to_string(number);
    }
    const auto started = std::chrono::steady_clock::now();
    task.outcome = worker.driver->Run(page, file.document);
    const PageOutcome& result = task.outcome;
    if (!result.ok) {
        const std::string code = text::Hex(result.hr);
        Say("leafmend: " + file.shown + ": page " + std::to_string(number) + ": " + result.failedProcess + ": " +
            result.message + " (" + code + ")");
        entry["error"] = {{"process", result.failedProcess}, {"message", result.message}, {"hresult", code}};
        // A failing process may have changed part of the page: it goes out
        // as it came in, read again from the unchanged input.
        int original = -1;
        {
            std::lock_guard guard(file.readerLock);
            original = file.reader->readPage(task.index);
        }
        if (original < 0) throw RunFailure("page " + std::to_string(number) + ": cannot be read again");
        page->Image()->SetHandle(original);
    }
    entry["ok"] = result.ok;
    entry["removed"] = result.removed;
    if (result.removed) entry["removal"] = {{"process", result.removedBy}, {"message", result.removalMessage}};
    entry["ran"] = result.ran;
    entry["unhandled"] = result.unhandled;
    entry["messages"] = Messages(page);
    if (!warnings.empty()) entry["warnings"] = warnings;
    entry["milliseconds"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (result.removed) FreePixels(page);  // not written (--removed reads it again as it came): its pixels can go now
    {
        std::lock_guard guard(lock_);
        pagesDone_ += 1.0;
        inFlight_[worker.index] = 0.0;
    }
    std::lock_guard guard(queueLock_);
    file.entries[task.index] = std::move(entry);
}

// Writes the file's processed pages that are next in page order; the one
// worker doing so holds `writing`, so others go on with other work.
void BatchRunner::Encode(std::unique_lock<std::mutex>& queue, FileJob& file) {
    file.writing = true;
    while (!file.failed) {
        const auto found = file.processed.find(file.written);
        if (found == file.processed.end()) break;
        std::unique_ptr<PageTask> task = std::move(found->second);
        file.processed.erase(found);
        queue.unlock();
        std::string error;
        try {
            if (!task->outcome.removed) {
                file.output->Add(task->page);
            } else {
                // Removed pages go to the removed pages' file as read from
                // the input, in page order like the output.
                std::lock_guard guard(file.readerLock);
                file.removed->Take(task->page, *file.reader, task->index);
            }
        } catch (const std::exception& e) {
            error = CauseOf(e);
        }
        FreePixels(task->page);
        task.reset();
        queue.lock();
        file.written++;
        Release(file, 1);
        if (!error.empty()) FileError(file, error, true);
    }
    if (file.failed && !file.processed.empty()) {
        for (auto& [index, task] : file.processed) FreePixels(task->page);
        const long dropped = static_cast<long>(file.processed.size());
        file.processed.clear();
        Release(file, dropped);
    }
    if (Drained(file)) return Finish(queue, file);
    file.writing = false;
    changed_.notify_all();
}

// Commits (or abandons) the output of a drained file, hands its report
// entries to the outcome (and the journal) in page order and closes it.
void BatchRunner::Finish(std::unique_lock<std::mutex>& queue, FileJob& file) {
    const bool complete = !file.failed && file.written == file.pageCount;
    const bool stopped = !file.failed && !complete;
    const bool hasPages = file.output && !file.output->Empty();
    queue.unlock();
    std::string error, removedWritten;
    if (complete) {
        try {
            removedWritten = file.removed->Commit();
            if (hasPages) file.output->Commit();
        } catch (const std::exception& e) {
            error = CauseOf(e);
        }
    }
    file.output.reset();  // removes the temporary file when it was not committed
    file.removed.reset();
    queue.lock();
    FileOutcome& outcome = (*outcomes_)[file.index];
    outcome.removedWritten = removedWritten;
    if (!error.empty()) FileError(file, error, true);
    if (complete && !hasPages && file.pageCount > 0 && error.empty()) {
        const std::string note = "every page was removed; no output written";
        Say("leafmend: " + file.shown + ": " + note);
        file.errors.push_back({{"file", file.shown}, {"note", note}});
    }
    if (stopped) FileError(file, "not finished when --fail-fast stopped the run; no output written", false);
    if (complete && hasPages && error.empty()) outcome.written = file.target;
    Report entries;
    for (auto& [index, entry] : file.entries) entries.Add(std::move(entry));
    for (nlohmann::json& entry : file.errors) entries.Add(std::move(entry));
    queue.unlock();
    std::string journalError;
    if (options_.journal) {
        try {
            options_.journal->Record(file.input, entries.Entries());
        } catch (const std::exception& e) {
            journalError = CauseOf(e);
        }
    }
    file.document.Release();
    queue.lock();
    if (!journalError.empty()) {
        FileError(file, "cannot record the file in the report's journal: " + journalError, true);
        entries.Add(file.errors.back());
    }
    outcome.report.Append(std::move(entries));
    open_.remove_if([&](const std::unique_ptr<FileJob>& open) { return open.get() == &file; });
    changed_.notify_all();
}
