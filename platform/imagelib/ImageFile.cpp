// Page files for the host: TIFF (many pages; G4 for 1-bit, deflate otherwise),
// PNG and JPEG (quality 90), decoded and encoded by Leptonica with resolution
// carried both ways. Reading or writing a page is O(pixels); finding page n of
// a TIFF walks the n directories before it. Every failure is a status plus a
// one-line cause; broken files never get further than the decoder.
#include "platform/imagelib/BitmapTable.h"
#include "platform/imagelib/DibPixConverter.h"
#include "platform/imagelib/ImageWrapper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>

namespace imagefile {
namespace {

using imagelib::BitmapTable;
using imagelib::Dib;
using imagelib::DibPixConverter;
using imagelib::PixPtr;

struct FileCloser {
    void operator()(FILE* fp) const { std::fclose(fp); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int Fail(std::string* error, int status, const std::string& path, const std::string& cause) {
    if (error) *error = path + ": " + cause;
    return status;
}

// Opens for reading; on failure the status tells missing from forbidden.
FilePtr OpenForReading(const std::string& path, int* status, std::string* error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        *status = Fail(error, IMG_FILE_READ_ERROR, path, "is a directory");
        return nullptr;
    }
    FilePtr fp(std::fopen(path.c_str(), "rb"));
    if (fp) {
        *status = IMG_OK;
        return fp;
    }
    const int err = errno;
    const int code = (err == ENOENT || err == ENOTDIR) ? IMG_FILE_NOT_FOUND
                     : (err == EACCES || err == EPERM) ? IMG_FILE_ACCESS_DENIED
                                                       : IMG_FILE_READ_ERROR;
    *status = Fail(error, code, path, std::strerror(err));
    return nullptr;
}

ImageFileFormat SniffStream(FILE* fp) {
    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, fp);
    std::rewind(fp);
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= 8 && std::memcmp(head, kPng, 8) == 0) return ImageFileFormat::Png;
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ImageFileFormat::Jpeg;
    if (got >= 4 && ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42)))
        return ImageFileFormat::Tiff;
    return ImageFileFormat::Unknown;
}

int TiffPageCount(FILE* fp) {
    l_int32 count = 0;
    const bool ok = tiffGetCount(fp, &count) == 0;
    std::rewind(fp);
    return ok ? count : 0;
}

// Any page the decoder hands back becomes a 1-, 8- or 24-bit handle.
int AddPage(PIX* decoded, const std::string& path, std::string* error) {
    const PixPtr page = DibPixConverter::Normalise(decoded);
    if (!page) return Fail(error, IMG_BAD_FILE_FORMAT, path, "unsupported pixel layout");
    const int bits = pixGetDepth(page.get()) == 32 ? 24 : pixGetDepth(page.get());
    if (!Dib::Fits(pixGetWidth(page.get()), pixGetHeight(page.get()), static_cast<WORD>(bits)))
        return Fail(error, IMG_BAD_FILE_FORMAT, path, "page too large");
    return BitmapTable::Instance().add(DibPixConverter::ToDib(page.get()));
}

// A copy of the handle's page as a Leptonica image, suited to the format.
PixPtr PageForWriting(int handle, ImageFileFormat format) {
    const auto entry = BitmapTable::Instance().find(handle);
    if (!entry) return nullptr;
    PixPtr pix;
    {
        std::lock_guard lock(entry->mutex);
        if (entry->dib.empty()) return nullptr;
        pix = DibPixConverter::ToPix(entry->dib);
    }
    if (pix && format == ImageFileFormat::Jpeg && pixGetDepth(pix.get()) == 1)
        pix.reset(pixConvert1To8(nullptr, pix.get(), 255, 0));
    return pix;
}

int Encode(FILE* fp, PIX* pix, ImageFileFormat format, bool first) {
    switch (format) {
        case ImageFileFormat::Tiff:
            return pixWriteStreamTiffWA(fp, pix, pixGetDepth(pix) == 1 ? IFF_TIFF_G4 : IFF_TIFF_ZIP, first ? "w" : "a");
        case ImageFileFormat::Png:
            return pixWriteStreamPng(fp, pix, 0.0f);
        case ImageFileFormat::Jpeg:
            return pixWriteStreamJpeg(fp, pix, 90, 0);
        default:
            return 1;
    }
}

}  // namespace

ImageFileFormat Sniff(const std::string& path) {
    int status = IMG_OK;
    const FilePtr fp = OpenForReading(path, &status, nullptr);
    return fp ? SniffStream(fp.get()) : ImageFileFormat::Unknown;
}

int CountPages(const std::string& path) {
    int status = IMG_OK;
    const FilePtr fp = OpenForReading(path, &status, nullptr);
    if (!fp) return status;
    l_int32 w = 0, h = 0, bps = 0, spp = 0, cmap = 0;
    switch (SniffStream(fp.get())) {
        case ImageFileFormat::Tiff: {
            const int count = TiffPageCount(fp.get());
            return count > 0 ? count : IMG_BAD_FILE_FORMAT;
        }
        case ImageFileFormat::Png:
            return freadHeaderPng(fp.get(), &w, &h, &bps, &spp, &cmap) == 0 ? 1 : IMG_BAD_FILE_FORMAT;
        case ImageFileFormat::Jpeg:
            return freadHeaderJpeg(fp.get(), &w, &h, &spp, nullptr, nullptr) == 0 ? 1 : IMG_BAD_FILE_FORMAT;
        default:
            return IMG_BAD_FILE_FORMAT;
    }
}

int LoadPage(const std::string& path, int index, std::string* error) {
    try {
        int status = IMG_OK;
        const FilePtr fp = OpenForReading(path, &status, error);
        if (!fp) return status;
        const ImageFileFormat format = SniffStream(fp.get());
        if (format == ImageFileFormat::Unknown)
            return Fail(error, IMG_BAD_FILE_FORMAT, path, "not a TIFF, PNG or JPEG file");
        const int pages = format == ImageFileFormat::Tiff ? TiffPageCount(fp.get()) : 1;
        if (pages <= 0) return Fail(error, IMG_BAD_FILE_FORMAT, path, "unreadable TIFF directory");
        if (index < 0 || index >= pages)
            return Fail(error, IMG_BAD_ARGUMENT, path,
                        "no page " + std::to_string(index + 1) + " (file has " + std::to_string(pages) + ")");
        PixPtr decoded;
        if (format == ImageFileFormat::Tiff) {
            decoded.reset(pixReadStreamTiff(fp.get(), index));
        } else if (format == ImageFileFormat::Png) {
            decoded.reset(pixReadStreamPng(fp.get()));
        } else {
            l_int32 warnings = 0;
            decoded.reset(pixReadStreamJpeg(fp.get(), 0, 1, &warnings, 0));
            if (decoded && warnings > 0) decoded.reset();
        }
        if (!decoded) return Fail(error, IMG_BAD_FILE_FORMAT, path, "damaged or unsupported image data");
        return AddPage(decoded.get(), path, error);
    } catch (const std::bad_alloc&) {
        return Fail(error, IMG_OUT_OF_MEMORY, path, "out of memory");
    }
}

int SavePages(const std::string& path, const std::vector<int>& handles, ImageFileFormat format, std::string* error) {
    if (format == ImageFileFormat::Unknown) return Fail(error, IMG_BAD_ARGUMENT, path, "no file format given");
    if (handles.empty()) return Fail(error, IMG_BAD_ARGUMENT, path, "no pages to write");
    if (format != ImageFileFormat::Tiff && handles.size() > 1)
        return Fail(error, IMG_BAD_ARGUMENT, path, "only TIFF files hold several pages");

    std::vector<PixPtr> pages;
    for (const int handle : handles) {
        PixPtr pix = PageForWriting(handle, format);
        if (!pix) return Fail(error, IMG_BAD_HANDLE, path, "bad image handle " + std::to_string(handle));
        pages.push_back(std::move(pix));
    }
    FilePtr fp(std::fopen(path.c_str(), format == ImageFileFormat::Tiff ? "wb+" : "wb"));
    if (!fp) {
        const int err = errno;
        return Fail(error, (err == EACCES || err == EPERM) ? IMG_FILE_ACCESS_DENIED : IMG_FILE_WRITE_ERROR, path,
                    std::strerror(err));
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (Encode(fp.get(), pages[i].get(), format, i == 0) != 0)
            return Fail(error, IMG_FILE_WRITE_ERROR, path, "could not encode page " + std::to_string(i + 1));
    }
    const bool flushed = std::fflush(fp.get()) == 0 && !std::ferror(fp.get());
    if (std::fclose(fp.release()) != 0 || !flushed)
        return Fail(error, IMG_FILE_WRITE_ERROR, path, std::strerror(errno));
    return IMG_OK;
}

}  // namespace imagefile
