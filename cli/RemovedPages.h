// The pages processes removed from one input file. Without a folder they are
// dropped; with --removed DIR they are written there, as read from the input
// (so they can be put back), as one file under the input's name and format
// (a multi-page TIFF input gives one TIFF of its removed pages, in page
// order), through a temporary file renamed only when complete, like every
// output. The file appears only when the input had a removed page. Cost:
// one decode and one encode per removed page kept, nothing otherwise.
#pragma once

#include "cli/OutputFile.h"

#include <memory>
#include <string>
#include <vector>

class RemovedPages {
public:
    // `folder` empty: removed pages are dropped.
    // They are compressed like the outputs (`compression`, JPEG at the input's quality).
    RemovedPages(const std::string& folder, const std::string& input, ImageFileFormat format,
                 const imagefile::Compression& compression = imagefile::Compression{}, int inputJpegQuality = 0);
    // Takes page `index` of the input out of the output: its pixels are freed,
    // or with a folder its input pixels go to the removed file. Throws
    // RunFailure with the cause.
    void Take(CZRPage* page, imagefile::PageReader& reader, int index);
    // Writes the removed file when it holds pages; answers its path or "".
    // Throws RunFailure with the cause.
    std::string Commit();

    // Refuses (CliError) a folder for removed pages that is the output folder
    // or whose files would replace an input or the report.
    static void CheckTargets(const std::vector<std::string>& inputs, const std::string& outputDir,
                             const std::string& removedDir, const std::string& reportPath);
    // Creates the folder and removes the temporaries killed runs left in it;
    // answers their paths. Throws RunFailure when it cannot be made.
    static std::vector<std::string> Prepare(const std::string& folder);

private:
    std::string target_;  // empty: pages are dropped
    ImageFileFormat format_;
    imagefile::Compression compression_;
    int inputJpegQuality_;
    std::unique_ptr<OutputFile> file_;
};
