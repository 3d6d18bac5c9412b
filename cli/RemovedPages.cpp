// The removed file is created on the first removed page, so inputs without
// one leave nothing behind.
#include "cli/RemovedPages.h"

#include "cli/AtomicFile.h"
#include "cli/CliError.h"
#include "cli/Text.h"
#include "host/CZRImage.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
bool SamePlace(const fs::path& a, const fs::path& b) {
    std::error_code ea, eb;
    if (fs::exists(a, ea) && fs::exists(b, eb)) return fs::equivalent(a, b, ea) && !ea;
    const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}
}  // namespace

RemovedPages::RemovedPages(const std::string& folder, const std::string& input, ImageFileFormat format,
                           const imagefile::Compression& compression, int inputJpegQuality)
    : target_(folder.empty() ? std::string() : (fs::path(folder) / fs::path(input).filename()).string()),
      format_(format),
      compression_(compression),
      inputJpegQuality_(inputJpegQuality) {}

void RemovedPages::Take(CZRPage* page, imagefile::PageReader& reader, int index) {
    CZRImage* image = page->Image();
    if (!image) return;
    image->SetHandle(-1);  // not in the output: the processed pixels can go
    if (target_.empty()) return;
    const int original = reader.readPage(index);
    if (original < 0) throw RunFailure("page " + std::to_string(index + 1) + ": cannot be read again");
    image->SetHandle(original);
    if (!file_) file_ = std::make_unique<OutputFile>(target_, format_, compression_, inputJpegQuality_);
    file_->Add(page);
}

std::string RemovedPages::Commit() {
    if (!file_ || file_->Empty()) return "";
    file_->Commit();
    return target_;
}

void RemovedPages::CheckTargets(const std::vector<std::string>& inputs, const std::string& outputDir,
                                const std::string& removedDir, const std::string& reportPath) {
    if (removedDir.empty()) return;
    const std::string shown = "--removed " + text::Printable(removedDir);
    if (!outputDir.empty() && SamePlace(removedDir, outputDir))
        throw CliError(shown + " is the output folder; removed pages need a folder of their own");
    for (const std::string& input : inputs) {
        const fs::path target = fs::path(removedDir) / fs::path(input).filename();
        if (SamePlace(target, input))
            throw CliError(shown + ": the removed pages of " + text::Printable(input) +
                           " would overwrite the input; choose another folder");
        if (!reportPath.empty() && SamePlace(target, reportPath))
            throw CliError("--report " + text::Printable(reportPath) + " is where the removed pages of " +
                           text::Printable(input) + " go; name another file for the report");
    }
}

std::vector<std::string> RemovedPages::Prepare(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
        throw RunFailure("cannot create the folder for removed pages " + text::Printable(folder) + ": " +
                         (ec ? ec.message() : "a file of that name exists"));
    return AtomicFile::RemoveStale(folder);
}
