// Pages are read one at a time from the input (never all at once); a failing
// page is read again so it goes out as it came in.
#include "cli/BatchRunner.h"

#include "cli/AtomicFile.h"
#include "cli/CliError.h"
#include "cli/InputList.h"
#include "cli/OutputFile.h"
#include "cli/ProgressBar.h"
#include "cli/RemovedPages.h"
#include "cli/SettingWarnings.h"
#include "cli/Text.h"
#include "host/CZRImage.h"
#include "host/HostInterfaces.h"
#include "platform/imagelib/ImageWrapper.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <thread>

namespace fs = std::filesystem;

namespace {

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

}  // namespace

struct BatchRunner::FileOutcome {
    long pages = 0;
    long failedPages = 0;
    long removedPages = 0;
    long unhandledPages = 0;
    long warnings = 0;
    bool fileFailed = false;
    bool ok = true;
    std::string written;
    std::vector<std::string> removed;
    std::string removedWritten;
    Report report;
};

struct BatchRunner::Worker {
    std::size_t index = 0;
    std::unique_ptr<PageDriver> driver;
    std::string label;
};

BatchRunner::BatchRunner(PipelineFactory makePipeline, BatchOptions options)
    : makePipeline_(std::move(makePipeline)), options_(std::move(options)) {}

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
    const int jobs =
        std::max(1, std::min<int>(options_.jobs, static_cast<int>(std::max<std::size_t>(inputs.size(), 1))));
    // Every worker's pipeline is built before any page is touched, so a bad
    // pipeline fails the run up front.
    std::vector<Worker> workers(static_cast<std::size_t>(jobs));
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
            throw RunFailure("cannot create the output folder " + text::Printable(options_.outputDir) + ": " +
                             (ec ? ec.message() : "a file of that name exists"));
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
        std::atomic<std::size_t> next{0};
        auto work = [&](Worker& worker) {
            for (;;) {
                {
                    std::lock_guard guard(lock_);
                    if (stop_) return;
                }
                const std::size_t index = next++;
                if (index >= inputs.size()) return;
                try {
                    RunFile(worker, inputs[index], outcomes[index]);
                } catch (const std::exception& e) {
                    // Nothing may leave a worker thread: the file fails with the cause.
                    const bool memory = dynamic_cast<const std::bad_alloc*>(&e) != nullptr;
                    const std::string cause = memory ? "out of memory" : e.what();
                    Say("leafmend: " + text::Printable(inputs[index]) + ": " + cause);
                    outcomes[index].fileFailed = true;
                    outcomes[index].ok = false;
                    outcomes[index].report.Add({{"file", text::Printable(inputs[index])}, {"error", cause}});
                }
                if (!outcomes[index].ok && options_.failFast) {
                    std::lock_guard guard(lock_);
                    stop_ = true;
                }
            }
        };
        if (jobs == 1) {
            work(workers[0]);
        } else {
            std::vector<std::thread> threads;
            for (Worker& worker : workers) threads.emplace_back(work, std::ref(worker));
            for (std::thread& thread : threads) thread.join();
        }
        bar.Finish();
        bar_ = nullptr;
    }

    for (FileOutcome& outcome : outcomes) {
        result.pages += outcome.pages;
        result.failedPages += outcome.failedPages;
        result.removedPages += outcome.removedPages;
        result.unhandledPages += outcome.unhandledPages;
        result.warnings += outcome.warnings;
        if (outcome.fileFailed) result.failedFiles++;
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

void BatchRunner::RunFile(Worker& worker, const std::string& input, FileOutcome& outcome) {
    const std::string shown = text::Printable(input);
    auto fileError = [&](const std::string& cause) {
        Say("leafmend: " + shown + ": " + cause);
        outcome.fileFailed = true;
        outcome.ok = false;
        outcome.report.Add({{"file", shown}, {"error", cause}});
    };
    if (const std::string refusal = InputList::Refusal(input); !refusal.empty()) return fileError(refusal);
    // The reader checks the whole file (every page's directory and data)
    // before the first page is decoded.
    imagefile::PageReader reader;
    if (reader.open(input) < 0) return fileError(reader.error());
    const ImageFileFormat format = reader.format();
    const int pageCount = reader.pageCount();

    const fs::path target = fs::path(options_.outputDir) / fs::path(input).filename();
    std::unique_ptr<OutputFile> output;
    try {
        output = std::make_unique<OutputFile>(target.string(), format, options_.compression, reader.jpegQuality());
    } catch (const RunFailure& e) {
        return fileError(e.what());
    }
    RemovedPages removed(options_.removedDir, input, format);
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->SetFilePath(input);
    const std::vector<PipelineStep>& steps = worker.driver->Steps();
    for (int i = 0; i < pageCount; ++i) {
        const int handle = reader.readPage(i);
        if (handle < 0) return fileError(reader.error() + "; no output written");
        CComPtr<CZRPage> page = document->AppendPage(handle);
        LONG number = 0;
        page->GetPageNumber(&number);
        nlohmann::json entry = {{"file", shown}, {"page", number}};
        BITMAPINFOHEADER header{};
        ImageWrapper::bitmap_info(handle, &header);
        nlohmann::json warnings = nlohmann::json::array();
        for (const std::string& warning :
             SettingWarnings::ForPage(steps, header.biWidth, header.biHeight, header.biBitCount)) {
            Warn(shown + ": page " + std::to_string(number) + ": " + warning, nullptr);
            warnings.push_back(warning);
        }
        {
            std::lock_guard guard(lock_);
            worker.label = fs::path(input).filename().string() + " p" + std::to_string(number);
        }
        const auto started = std::chrono::steady_clock::now();
        const PageOutcome pageResult = worker.driver->Run(page, document);
        if (!pageResult.ok) {
            const std::string code = text::Hex(pageResult.hr);
            Say("leafmend: " + shown + ": page " + std::to_string(number) + ": " + pageResult.failedProcess + ": " +
                pageResult.message + " (" + code + ")");
            entry["error"] = {
                {"process", pageResult.failedProcess}, {"message", pageResult.message}, {"hresult", code}};
            // A failing process may have changed part of the page: it goes
            // out as it came in, read again from the unchanged input.
            const int original = reader.readPage(i);
            if (original < 0) return fileError("page " + std::to_string(number) + ": cannot be read again");
            page->Image()->SetHandle(original);
        }
        entry["ok"] = pageResult.ok;
        entry["removed"] = pageResult.removed;
        if (pageResult.removed) {
            entry["removal"] = {{"process", pageResult.removedBy}, {"message", pageResult.removalMessage}};
            outcome.removed.push_back(shown + ": page " + std::to_string(number) + ": " + pageResult.removedBy + ": " +
                                      pageResult.removalMessage);
        }
        entry["ran"] = pageResult.ran;
        entry["unhandled"] = pageResult.unhandled;
        entry["messages"] = Messages(page);
        if (!warnings.empty()) entry["warnings"] = warnings;
        entry["milliseconds"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        outcome.report.Add(std::move(entry));
        outcome.pages++;
        if (!pageResult.unhandled.empty()) outcome.unhandledPages++;
        if (pageResult.removed) {
            outcome.removedPages++;
            try {
                removed.Take(page, reader, i);
            } catch (const RunFailure& e) {
                return fileError(e.what());
            }
        } else {
            try {
                output->Add(page);
            } catch (const RunFailure& e) {
                return fileError(e.what());
            }
        }
        {
            std::lock_guard guard(lock_);
            pagesDone_ += 1.0;
            inFlight_[worker.index] = 0.0;
        }
        if (!pageResult.ok) {
            outcome.failedPages++;
            outcome.ok = false;
            if (options_.failFast) {
                Say("leafmend: " + shown + ": stopped by --fail-fast; no output written for this file");
                return;
            }
        }
    }
    try {
        outcome.removedWritten = removed.Commit();
    } catch (const RunFailure& e) {
        return fileError(e.what());
    }
    if (output->Empty()) {
        const std::string note = "every page was removed; no output written";
        Say("leafmend: " + shown + ": " + note);
        outcome.report.Add({{"file", shown}, {"note", note}});
        return;
    }
    try {
        output->Commit();
    } catch (const RunFailure& e) {
        return fileError(e.what());
    }
    outcome.written = target.string();
}
