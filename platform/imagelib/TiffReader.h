// Reads TIFF pages with libtiff, one page at a time. Opening walks the whole
// directory chain once and checks every page before any pixel is decoded:
// a directory libtiff cannot read, a missing or zero size, a page beyond the
// size limits, an unsupported layout, or strip and tile data lying past the
// end of the file make the file fail with the number of the page and why.
// So a truncated or damaged multi-page file never looks like a shorter good
// one. Reading a page decodes its strips or tiles straight into a DIB (1-bit
// for bilevel pages, 8-bit grey, 24-bit colour): O(pixels), plus one strip or
// one row of tiles of working memory. Any decoder error or damage warning
// fails the page with libtiff's own words.
#pragma once

#include "platform/imagelib/DecodeLog.h"
#include "platform/imagelib/Dib.h"

#include <cstdint>
#include <string>
#include <vector>

struct tiff;

namespace imagelib {

class TiffReader {
public:
    TiffReader();
    ~TiffReader();
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;

    // Takes over `fd` (closed by the reader). IMG_OK when every page checks
    // out; otherwise a negative status and "page N: why" in *error.
    int open(int fd, std::uint64_t fileSize, std::string* error);
    int pageCount() const { return static_cast<int>(pages_.size()); }
    // Decodes page `index` (0-based) into *out; on failure a negative status
    // and the decoder's words in *error.
    int readPage(int index, Dib* out, std::string* error);

    // How a page's samples become DIB pixels.
    enum class Layout { Bilevel, Grey, Palette, Rgb, Generic };
    struct Page {
        std::uint32_t width = 0, height = 0;
        std::uint16_t bits = 0, samples = 0, photometric = 0, planar = 1, compression = 1;
        bool tiled = false;
        std::uint32_t tileWidth = 0, tileHeight = 0, rowsPerStrip = 0;
        int alphaSample = -1;  // index of an alpha sample, -1 when none
        bool alphaPremultiplied = false;
        Layout layout = Layout::Generic;
        WORD outBits = 24;
        LONG dpiX = 0, dpiY = 0;
    };

private:
    int checkDirectory(int index, Page* page, std::string* cause);
    int decodeNative(const Page& page, Dib* out);
    int decodeGeneric(const Page& page, Dib* out);

    struct tiff* tiff_ = nullptr;
    std::uint64_t fileSize_ = 0;
    DecodeLog log_;
    std::vector<Page> pages_;
};

}  // namespace imagelib
