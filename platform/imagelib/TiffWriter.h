// Writes TIFF pages with libtiff one at a time, straight from each page's
// DIB, each compressed as the settings say for its kind (by default 1-bit
// pages CCITT G4 with white as 0, grey and colour pages LZW in strips of about
// 64 KiB), resolution in dots per inch. One row and one strip of working
// memory; O(pixels) a page.
// libtiff's errors and warnings land in a DecodeLog and fail the write.
#pragma once

#include "platform/imagelib/DecodeLog.h"
#include "platform/imagelib/Dib.h"

#include <string>
#include <vector>

struct tiff;

namespace imagelib {

class TiffWriter {
public:
    TiffWriter() = default;
    ~TiffWriter();
    TiffWriter(const TiffWriter&) = delete;
    TiffWriter& operator=(const TiffWriter&) = delete;

    // Takes over `fd` (closed by finish or the destructor).
    int open(int fd, std::string* error);
    int append(const Dib& dib, const imagefile::Compression& compression, std::string* error);
    // Writes what libtiff still holds and closes the descriptor.
    int finish(std::string* error);

private:
    int fail(int status, const std::string& what, std::string* error);

    struct tiff* tiff_ = nullptr;
    DecodeLog log_;
    std::vector<BYTE> row_;
    int pages_ = 0;
};

}  // namespace imagelib
