// Batch runner.
#include "cli/BatchRunner.h"

#include "cli/ProcessFactory.h"
#include "cli/ProgressBar.h"
#include "host/CZRDocument.h"
#include "host/HostInterfaces.h"
#include "platform/imagelib/ImageWrapper.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

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

BatchRunner::BatchRunner(std::vector<PipelineStep> steps, BatchOptions options)
    : steps_(std::move(steps)), options_(std::move(options)) {}

BatchResult BatchRunner::Run(const std::vector<std::string>& inputs) {
    BatchResult result;
    std::error_code ec;
    fs::create_directories(options_.outputDir, ec);
    if (ec) throw CliError("cannot create the output folder " + options_.outputDir + ": " + ec.message());
    ProgressBar bar(CountPages(inputs), options_.progress);
    long done = 0;
    for (const std::string& input : inputs) {
        const bool ok = RunFile(input, result, done, bar);
        if (!ok && options_.failFast) break;
    }
    bar.Finish();
    return result;
}

bool BatchRunner::RunFile(const std::string& input, BatchResult& result, long& done, ProgressBar& bar) {
    auto fileError = [&](const std::string& cause) {
        bar.Finish();
        std::cerr << "leafmend: " << input << ": " << cause << "\n";
        result.failedFiles++;
        result.report.push_back({{"file", input}, {"error", cause}});
        return false;
    };
    const ImageFileFormat format = imagefile::Sniff(input);
    if (!fs::exists(input)) return fileError("no such file");
    if (format == ImageFileFormat::Unknown) return fileError("not a TIFF, PNG or JPEG image");
    const int pageCount = imagefile::CountPages(input);
    if (pageCount <= 0) return fileError("cannot read the image (damaged or truncated file)");

    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->SetFilePath(input);
    for (int i = 0; i < pageCount; ++i) {
        std::string cause;
        const int handle = imagefile::LoadPage(input, i, &cause);
        if (handle < 0) return fileError("page " + std::to_string(i + 1) + ": " + (cause.empty() ? "unreadable" : cause));
        document->AppendPage(handle);
    }

    bool fileOk = true;
    for (const auto& page : document->Pages()) {
        LONG number = 0;
        page->GetPageNumber(&number);
        nlohmann::json entry = {{"file", input}, {"page", number}};
        const auto started = std::chrono::steady_clock::now();
        // Keep the input pixels so a failing process never leaves a half-changed page.
        const int original = page->Image() ? ImageWrapper::create_handle_from_dib(
                                                 ImageWrapper::get_raw_dib(page->Image()->Handle()))
                                           : -1;
        bool pageOk = true;
        for (const PipelineStep& step : steps_) {
            if (!Selected(step.process, number)) continue;
            VARIANT_BOOL handled = VARIANT_FALSE;
            const HRESULT hr = step.process->Process(page, &handled);
            if (FAILED(hr)) {
                const std::string text = ProcessFactory::LastErrorText(hr);
                char code[16];
                std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
                bar.Finish();
                std::cerr << "leafmend: " << input << ": page " << number << ": " << step.name << ": " << text << " ("
                          << code << ")\n";
                entry["error"] = {{"process", step.name}, {"message", text}, {"hresult", code}};
                if (original >= 0) page->Image()->SetHandle(ImageWrapper::create_handle_from_dib(
                                       ImageWrapper::get_raw_dib(original)));
                pageOk = false;
                break;
            }
            if (document->Removed(number)) break;
        }
        if (original >= 0) ImageWrapper::delete_bitmap(original);
        entry["ok"] = pageOk;
        entry["removed"] = document->Removed(number);
        entry["messages"] = Messages(page);
        entry["milliseconds"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        result.report.push_back(entry);
        result.pages++;
        if (!pageOk) {
            result.failedPages++;
            fileOk = false;
        }
        if (document->Removed(number)) result.removedPages++;
        bar.Update(++done, fs::path(input).filename().string() + " p" + std::to_string(number));
        if (!pageOk && options_.failFast) break;
    }

    std::vector<int> handles;
    for (const auto& page : document->Pages()) {
        LONG number = 0;
        page->GetPageNumber(&number);
        if (!document->Removed(number) && page->Image() && page->Image()->Handle() >= 0)
            handles.push_back(page->Image()->Handle());
    }
    if (handles.empty()) return fileOk;  // every page was removed: nothing to write
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
    result.written.push_back(target.string());
    return fileOk;
}
