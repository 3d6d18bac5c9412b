// TIFF writing through libtiff; see the header.
#include "platform/imagelib/TiffWriter.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace imagelib {
namespace {

constexpr std::size_t kStripBytes = 64 * 1024;  // uncompressed bytes per strip, about

int Scheme(imagefile::TiffCompression method) {
    switch (method) {
        case imagefile::TiffCompression::None:
            return COMPRESSION_NONE;
        case imagefile::TiffCompression::Lzw:
            return COMPRESSION_LZW;
        case imagefile::TiffCompression::Deflate:
            return COMPRESSION_ADOBE_DEFLATE;
        case imagefile::TiffCompression::G4:
            return COMPRESSION_CCITTFAX4;
    }
    return COMPRESSION_NONE;
}

}  // namespace

TiffWriter::~TiffWriter() {
    if (tiff_) {
        DecodeLog::Scope scope(log_);
        TIFFClose(tiff_);
    }
}

int TiffWriter::fail(int status, const std::string& what, std::string* error) {
    *error = what + (log_.text().empty() ? "" : " (" + log_.text() + ")");
    return log_.ranOutOfMemory() ? static_cast<int>(IMG_OUT_OF_MEMORY) : status;
}

int TiffWriter::open(int fd, std::string* error) {
    DecodeLog::InstallProcessHandlers();
    DecodeLog::Scope scope(log_);
    TIFFOpenOptions* options = log_.roomForLibrary() ? TIFFOpenOptionsAlloc() : nullptr;
    if (!options) {
        ::close(fd);
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, DecodeLog::TiffError, &log_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, DecodeLog::TiffWarning, &log_);
    tiff_ = TIFFFdOpenExt(fd, "page file", "w", options);
    TIFFOpenOptionsFree(options);
    if (!tiff_) {
        ::close(fd);
        return fail(IMG_FILE_WRITE_ERROR, "cannot start the TIFF file", error);
    }
    return IMG_OK;
}

int TiffWriter::append(const Dib& dib, const imagefile::Compression& compression, std::string* error) {
    if (!tiff_) {
        *error = "the TIFF file is not open";
        return IMG_INTERNAL_ERROR;
    }
    DecodeLog::Scope scope(log_);
    TIFF* tif = tiff_;
    if (!log_.roomForLibrary())
        return fail(IMG_OUT_OF_MEMORY, "cannot write page " + std::to_string(pages_ + 1), error);
    const int bits = dib.bits();
    const auto width = static_cast<std::uint32_t>(dib.width());
    const auto height = static_cast<std::uint32_t>(dib.height());
    const std::size_t rowBytes = (std::size_t{width} * static_cast<std::size_t>(bits) + 7) / 8;
    try {
        row_.resize(rowBytes);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits == 1 ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bits == 24 ? 3 : 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    const imagefile::TiffCompression method = bits == 1 ? compression.tiffBilevel : compression.tiffTone;
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 bits == 1    ? PHOTOMETRIC_MINISWHITE
                 : bits == 24 ? PHOTOMETRIC_RGB
                              : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, Scheme(method));
    if (method == imagefile::TiffCompression::Deflate)
        TIFFSetField(tif, TIFFTAG_ZIPQUALITY, std::clamp(compression.tiffDeflateLevel, 1, 9));
    // G4 codes the page as one strip; the other schemes restart every strip,
    // and strips of a few rows (libtiff's default of 8 KiB) cost both time
    // and bytes.
    const bool wholePage = method == imagefile::TiffCompression::G4;
    TIFFSetField(
        tif, TIFFTAG_ROWSPERSTRIP,
        wholePage ? height : static_cast<std::uint32_t>(std::clamp<std::size_t>(kStripBytes / rowBytes, 1, height)));
    const LONG dpiX = dib.header()->biXPelsPerMeter, dpiY = dib.header()->biYPelsPerMeter;
    if (dpiX > 0 && dpiY > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpiX));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpiY));
    }
    if (log_.hasErrors())
        return fail(IMG_FILE_WRITE_ERROR, "cannot describe page " + std::to_string(pages_ + 1), error);
    for (std::uint32_t y = 0; y < height; ++y) {
        const BYTE* source = dib.topRow(static_cast<LONG>(y));
        BYTE* out = row_.data();
        if (bits == 1) {
            // The DIB's set bit is white; with white as 0, every bit flips.
            for (std::size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<BYTE>(~source[i]);
        } else if (bits == 8) {
            std::memcpy(out, source, rowBytes);
        } else {
            for (std::uint32_t x = 0; x < width; ++x) {
                out[3 * x] = source[3 * x + 2];
                out[3 * x + 1] = source[3 * x + 1];
                out[3 * x + 2] = source[3 * x];
            }
        }
        if (TIFFWriteScanline(tif, out, y, 0) < 0 || log_.hasErrors())
            return fail(IMG_FILE_WRITE_ERROR, "cannot write page " + std::to_string(pages_ + 1), error);
    }
    if (!log_.roomForLibrary() || !TIFFWriteDirectory(tif) || log_.hasErrors())
        return fail(IMG_FILE_WRITE_ERROR, "cannot write page " + std::to_string(pages_ + 1), error);
    ++pages_;
    return IMG_OK;
}

int TiffWriter::finish(std::string* error) {
    if (!tiff_) {
        *error = "the TIFF file is not open";
        return IMG_INTERNAL_ERROR;
    }
    DecodeLog::Scope scope(log_);
    const bool flushed = log_.roomForLibrary() && TIFFFlush(tiff_) != 0;
    TIFFClose(tiff_);
    tiff_ = nullptr;
    if (!flushed || log_.hasErrors()) return fail(IMG_FILE_WRITE_ERROR, "cannot finish the TIFF file", error);
    return IMG_OK;
}

}  // namespace imagelib
