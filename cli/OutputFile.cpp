// The writer's messages already name the target.
#include "cli/OutputFile.h"

#include "cli/CliError.h"
#include "host/CZRImage.h"

OutputFile::OutputFile(const std::string& target, ImageFileFormat format, const imagefile::Compression& compression,
                       int inputJpegQuality) {
    imagefile::Compression forInput = compression;
    forInput.inputJpegQuality = inputJpegQuality;
    if (writer_.begin(target, format, forInput) < 0) throw RunFailure("cannot write " + writer_.error());
}

void OutputFile::Add(CZRPage* page) {
    CZRImage* image = page->Image();
    if (!image || image->Handle() < 0) return;
    if (writer_.append(image->Handle()) < 0) throw RunFailure("cannot write " + writer_.error());
    image->SetHandle(-1);  // written: its pixels can go
}

void OutputFile::Commit() {
    // A failed rename says "cannot replace TARGET: cause" itself.
    if (writer_.commit() < 0) {
        const std::string& error = writer_.error();
        throw RunFailure(error.starts_with("cannot ") ? error : "cannot write " + error);
    }
}
