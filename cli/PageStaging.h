// Working copies of pages for processes that read or delete a page's own file
// (page removal compares that file's size with its threshold and deletes the
// file of a page it removes). Each page gets a file of its own in a private
// folder "leafmend-pages-PID-XXXXXX" (made exclusively, mode 0700) under $TMPDIR, else
// /tmp, made on the first page that needs one; the page's image is pointed at
// that file while the pipeline runs. The copy of a single-page input is its
// bytes as read; a page of a multi-page TIFF is that page alone, written as a
// TIFF by the image library (1-bit pages G4, others deflate), as a scanner
// writing one file a page would. The user's input file is only ever read.
// The folder goes with the object, with SIGINT and SIGTERM, or, after a run
// killed otherwise, with the next run (RemoveStale). Cost per staged page:
// one file copy, or one encode for a page of a multi-page file.
#pragma once

#include "host/CZRDocument.h"
#include "platform/imagelib/ImageWrapper.h"

#include <string>
#include <vector>

class PageStaging {
public:
    // `parent`: where the private folder goes; empty: $TMPDIR, else /tmp.
    explicit PageStaging(std::string parent = "");
    ~PageStaging();
    PageStaging(const PageStaging&) = delete;
    PageStaging& operator=(const PageStaging&) = delete;

    // Writes the working copy of `page` (of `document`, from its current
    // pixels or the input's bytes) and sets it as the image's file path.
    // Throws RunFailure with the cause. One page at a time.
    void Stage(CZRPage* page, CZRDocument* document);
    // Removes the page's working copy, if a process left it, and points the
    // image back at the document's file.
    void Release(CZRPage* page, CZRDocument* document);
    // The private folder; empty until the first page is staged.
    const std::string& Folder() const { return folder_; }

    static std::string DefaultParent();
    // Removes the folders (and their files) that runs which no longer exist
    // left in `parent` (empty: the default); answers their paths. Folders of
    // other users or of live runs are kept.
    static std::vector<std::string> RemoveStale(const std::string& parent = "");

private:
    void MakeFolder();
    bool SinglePage(CZRDocument* document);

    std::string parent_;
    std::string folder_;
    int folderTicket_ = -1;  // the signal cleanup's records of the folder and the staged file
    int fileTicket_ = -1;
    std::string staged_;
    unsigned long sequence_ = 0;
    // The file of the document last asked about, whether it holds one page, and its format.
    std::string documentPath_;
    bool singlePage_ = false;
    ImageFileFormat format_ = ImageFileFormat::Unknown;
};
