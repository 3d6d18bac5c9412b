// One output file of the batch, written page by page as pages are done (the
// image library's page writer: an exclusive temporary file beside the
// target, renamed over it only when every page is in). A page's pixels are
// freed once written, so a file of any length costs about one page of
// memory. O(pixels) to encode.
#pragma once

#include "host/CZRPage.h"
#include "platform/imagelib/ImageWrapper.h"

#include <string>

class OutputFile {
public:
    // Creates the temporary; throws RunFailure with the cause. JPEG pages are
    // written at `inputJpegQuality` (the input's, 0 unknown) unless
    // `compression` names a quality.
    OutputFile(const std::string& target, ImageFileFormat format,
               const imagefile::Compression& compression = imagefile::Compression{}, int inputJpegQuality = 0);
    // Encodes the page's image and frees it; throws RunFailure with the cause.
    void Add(CZRPage* page);
    bool Empty() const { return writer_.pageCount() == 0; }
    // Flushes and renames; throws RunFailure with the cause. Nothing appears
    // at the target on failure, nor when the object goes without Commit.
    void Commit();

private:
    imagefile::PageWriter writer_;
};
