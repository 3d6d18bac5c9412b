// The encoder writes through /proc/self/fd/N: the bytes land in the file this
// run created, whatever another process does to its name meanwhile.
#include "cli/OutputFile.h"

#include "cli/CliError.h"
#include "host/CZRImage.h"

OutputFile::OutputFile(const std::string& target, ImageFileFormat format) : file_(target), format_(format) {}

void OutputFile::Add(CComPtr<CZRPage> page) { pages_.push_back(std::move(page)); }

void OutputFile::Commit() {
    std::vector<int> handles;
    for (const auto& page : pages_)
        if (page->Image() && page->Image()->Handle() >= 0) handles.push_back(page->Image()->Handle());
    std::string cause;
    if (imagefile::SavePages(file_.DescriptorPath(), handles, format_, &cause) < 0) {
        // The cause names the descriptor path; users know the target.
        const std::size_t colon = cause.find(": ");
        throw RunFailure("cannot write " + file_.Target() + ": " +
                         (colon == std::string::npos ? cause : cause.substr(colon + 2)));
    }
    file_.Commit();
    pages_.clear();
}
