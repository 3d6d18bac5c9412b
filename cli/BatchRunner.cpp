// Batch runner.
#include "cli/BatchRunner.h"

#include "cli/ProcessFactory.h"
#include "cli/ProgressBar.h"
#include "host/CZRDocument.h"
#include "host/HostInterfaces.h"
#include "platform/imagelib/ImageWrapper.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Whether the process's page range (or mode 8) selects this page.
bool Selected(IZRProcessEx* process, long number) {
    LONG mode = 0;
    if (SUCCEEDED(process->get_Mode(&mode)) && (mode & 8)) return true;
    CComPtr<ZRPageRange> range;
    if (FAILED(process->GetPageRange(&range)) || !range) return true;
    VARIANT_BOOL inRange = VARIANT_TRUE;
    if (FAILED(range->IsInRange(number, &inRange))) return true;
    return inRange != VARIANT_FALSE;
}

std::vector<std::string> Messages(CZRPage* page) {
    std::vector<std::string> texts;
    LONG count = 0;
    page->Messages()->GetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<ZRStatusMessage> message;
        if (FAILED(page->Messages()->GetItem(i, &message))) continue;
        CComBSTR process, text;
        message->GetProcessName(&process);
        message->GetText(&text);
        texts.push_back(process.utf8() + ": " + text.utf8());
    }
    return texts;
}

long CountPages(const std::vector<std::string>& inputs) {
    long total = 0;
    for (const auto& input : inputs) {
        const int pages = imagefile::CountPages(input);
        total += pages > 0 ? pages : 1;
    }
    return total;
}

}  // namespace

struct BatchRunner::FileOutcome {
    long pages = 0;
    long failedPages = 0;
    long removedPages = 0;
    long unhandledPages = 0;
    bool fileFailed = false;
    bool ok = true;
    std::string written;
    nlohmann::json report = nlohmann::json::array();
};

BatchRunner::BatchRunner(PipelineFactory makePipeline, BatchOptions options)
    : makePipeline_(std::move(makePipeline)), options_(std::move(options)) {}

void BatchRunner::Say(const std::string& line, ProgressBar& bar) {
    std::lock_guard guard(lock_);
    bar.Finish();
    std::cerr << line << "\n";
}

BatchResult BatchRunner::Run(const std::vector<std::string>& inputs) {
    std::error_code ec;
    fs::create_directories(options_.outputDir, ec);
    if (ec) throw CliError("cannot create the output folder " + options_.outputDir + ": " + ec.message());
    ProgressBar bar(CountPages(inputs), options_.progress);
    std::vector<FileOutcome> outcomes(inputs.size());
    const int jobs = std::max(1, std::min<int>(options_.jobs, static_cast<int>(inputs.size())));
    // Every worker's pipeline is built before any page is touched, so a bad
    // pipeline fails the run up front.
    std::vector<std::vector<PipelineStep>> pipelines;
    for (int i = 0; i < jobs; ++i) pipelines.push_back(makePipeline_());
    std::atomic<std::size_t> next{0};
    auto work = [&](const std::vector<PipelineStep>& steps) {
        for (;;) {
            {
                std::lock_guard guard(lock_);
                if (stop_) return;
            }
            const std::size_t index = next++;
            if (index >= inputs.size()) return;
            RunFile(steps, inputs[index], outcomes[index], bar);
            if (!outcomes[index].ok && options_.failFast) {
                std::lock_guard guard(lock_);
                stop_ = true;
            }
        }
    };
    if (jobs == 1) {
        work(pipelines[0]);
    } else {
        std::vector<std::thread> workers;
        for (int i = 0; i < jobs; ++i) workers.emplace_back(work, std::cref(pipelines[static_cast<std::size_t>(i)]));
        for (std::thread& worker : workers) worker.join();
    }
    bar.Finish();
    BatchResult result;
    for (FileOutcome& outcome : outcomes) {
        result.pages += outcome.pages;
        result.failedPages += outcome.failedPages;
        result.removedPages += outcome.removedPages;
        result.unhandledPages += outcome.unhandledPages;
        if (outcome.fileFailed) result.failedFiles++;
        if (!outcome.written.empty()) result.written.push_back(outcome.written);
        for (auto& entry : outcome.report) result.report.push_back(std::move(entry));
    }
    return result;
}

void BatchRunner::RunFile(const std::vector<PipelineStep>& steps, const std::string& input, FileOutcome& outcome,
                          ProgressBar& bar) {
    auto fileError = [&](const std::string& cause) {
        Say("leafmend: " + input + ": " + cause, bar);
        outcome.fileFailed = true;
        outcome.ok = false;
        outcome.report.push_back({{"file", input}, {"error", cause}});
    };
    if (!fs::exists(input)) return fileError("no such file");
    const ImageFileFormat format = imagefile::Sniff(input);
    if (format == ImageFileFormat::Unknown) return fileError("not a TIFF, PNG or JPEG image");
    const int pageCount = imagefile::CountPages(input);
    if (pageCount <= 0) return fileError("cannot read the image (damaged or truncated file)");

    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->SetFilePath(input);
    for (int i = 0; i < pageCount; ++i) {
        std::string cause;
        const int handle = imagefile::LoadPage(input, i, &cause);
        if (handle < 0)
            return fileError("page " + std::to_string(i + 1) + ": " + (cause.empty() ? "unreadable" : cause));
        document->AppendPage(handle);
    }

    for (const auto& page : document->Pages()) {
        LONG number = 0;
        page->GetPageNumber(&number);
        nlohmann::json entry = {{"file", input}, {"page", number}};
        const auto started = std::chrono::steady_clock::now();
        bool pageOk = true;
        nlohmann::json unhandled = nlohmann::json::array();
        for (const PipelineStep& step : steps) {
            if (!Selected(step.process, number)) continue;
            VARIANT_BOOL handled = VARIANT_FALSE;
            const HRESULT hr = step.process->Process(page, &handled);
            if (FAILED(hr)) {
                const std::string text = ProcessFactory::LastErrorText(hr);
                char code[16];
                std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
                Say("leafmend: " + input + ": page " + std::to_string(number) + ": " + step.name + ": " + text + " (" +
                        code + ")",
                    bar);
                entry["error"] = {{"process", step.name}, {"message", text}, {"hresult", code}};
                // A failing process may have changed part of the page: the page
                // goes out as it came in, read again from the unchanged input.
                if (page->Image()) {
                    const int original = imagefile::LoadPage(input, number - 1);
                    if (original >= 0) page->Image()->SetHandle(original);
                }
                pageOk = false;
                break;
            }
            if (document->Removed(number)) break;
            // The process left this page alone (no image, a depth or setting it refuses).
            if (!handled) unhandled.push_back(step.name);
        }
        entry["unhandled"] = unhandled;
        if (!unhandled.empty()) outcome.unhandledPages++;
        entry["ok"] = pageOk;
        entry["removed"] = document->Removed(number);
        entry["messages"] = Messages(page);
        entry["milliseconds"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        outcome.report.push_back(entry);
        outcome.pages++;
        if (!pageOk) {
            outcome.failedPages++;
            outcome.ok = false;
        }
        if (document->Removed(number)) outcome.removedPages++;
        {
            std::lock_guard guard(lock_);
            bar.Update(++done_, fs::path(input).filename().string() + " p" + std::to_string(number));
        }
        if (!pageOk && options_.failFast) break;
    }

    std::vector<int> handles;
    for (const auto& page : document->Pages()) {
        LONG number = 0;
        page->GetPageNumber(&number);
        if (!document->Removed(number) && page->Image() && page->Image()->Handle() >= 0)
            handles.push_back(page->Image()->Handle());
    }
    if (handles.empty()) return;  // every page was removed: nothing to write
    const fs::path target = fs::path(options_.outputDir) / fs::path(input).filename();
    const fs::path temp = fs::path(options_.outputDir) /
                          ("." + fs::path(input).filename().string() + ".part" + std::to_string(::getpid()));
    std::string cause;
    const int status = imagefile::SavePages(temp.string(), handles, format, &cause);
    std::error_code ec;
    if (status < 0) {
        fs::remove(temp, ec);
        return fileError("cannot write " + target.string() + ": " + (cause.empty() ? "write failed" : cause));
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return fileError("cannot write " + target.string() + ": " + ec.message());
    }
    outcome.written = target.string();
}
