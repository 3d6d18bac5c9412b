// One output file of the batch: pages are added as they are done and the
// file appears under its name only when every page is in and written
// (AtomicFile: exclusive temporary beside it, then rename). Until the image
// library writes page by page, added pages are kept until Commit.
// O(pixels) to encode.
#pragma once

#include "cli/AtomicFile.h"
#include "host/CZRPage.h"
#include "platform/imagelib/ImageWrapper.h"

#include <string>
#include <vector>

class OutputFile {
public:
    // Creates the temporary; throws RunFailure with the cause.
    OutputFile(const std::string& target, ImageFileFormat format);
    void Add(CComPtr<CZRPage> page);
    bool Empty() const { return pages_.empty(); }
    // Encodes, flushes and renames; throws RunFailure with the cause. Nothing
    // appears at the target on failure.
    void Commit();

private:
    AtomicFile file_;
    ImageFileFormat format_;
    std::vector<CComPtr<CZRPage>> pages_;
};
