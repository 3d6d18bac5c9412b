// Page files for the host: the page-at-a-time reader and writer and the
// whole-file helpers built on them. TIFF goes through libtiff (TiffReader,
// TiffWriter), PNG and JPEG through libpng and libjpeg (PngCodec, JpegCodec);
// every library message is caught and becomes the page's error text. Reading
// or writing a page is O(pixels) with one page of memory; opening a TIFF
// walks all its directories once.
#include "platform/imagelib/BitmapTable.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/imagelib/JpegCodec.h"
#include "platform/imagelib/PageLimits.h"
#include "platform/imagelib/PngCodec.h"
#include "platform/imagelib/TemporaryFile.h"
#include "platform/imagelib/TiffReader.h"
#include "platform/imagelib/TiffWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace imagefile {
namespace {

using imagelib::BitmapTable;
using imagelib::Dib;

struct FileCloser {
    void operator()(FILE* fp) const { std::fclose(fp); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int ReadStatus(int err) {
    return (err == ENOENT || err == ENOTDIR) ? IMG_FILE_NOT_FOUND
           : (err == EACCES || err == EPERM) ? IMG_FILE_ACCESS_DENIED
                                             : IMG_FILE_READ_ERROR;
}

std::string ReadCause(int err) {
    if (err == ENOENT || err == ENOTDIR) return "no such file";
    if (err == EACCES || err == EPERM) return "permission denied";
    return std::strerror(err);
}

// Opens a regular file for reading. Folders, FIFOs and devices are refused
// from their metadata, never opened (opening a FIFO would wait for a writer).
int OpenRegular(const std::string& path, int* fd, std::uint64_t* size, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        *error = ReadCause(err);
        return ReadStatus(err);
    }
    if (S_ISDIR(st.st_mode)) {
        *error = "is a folder";
        return IMG_FILE_READ_ERROR;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "not a regular file";
        return IMG_FILE_READ_ERROR;
    }
    // Non-blocking in case the name was swapped for a FIFO since the stat.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (opened < 0) {
        const int err = errno;
        *error = ReadCause(err);
        return ReadStatus(err);
    }
    if (::fstat(opened, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(opened);
        *error = "not a regular file";
        return IMG_FILE_READ_ERROR;
    }
    ::fcntl(opened, F_SETFL, ::fcntl(opened, F_GETFL) & ~O_NONBLOCK);
    *fd = opened;
    *size = static_cast<std::uint64_t>(st.st_size);
    return IMG_OK;
}

ImageFileFormat SniffDescriptor(int fd) {
    unsigned char head[8] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= 8 && std::memcmp(head, kPng, 8) == 0) return ImageFileFormat::Png;
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ImageFileFormat::Jpeg;
    if (got >= 4 && ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                     (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42)))
        return ImageFileFormat::Tiff;
    return ImageFileFormat::Unknown;
}

bool Valid(const Compression& c) {
    auto known = [](TiffCompression method) {
        return method == TiffCompression::None || method == TiffCompression::Lzw ||
               method == TiffCompression::Deflate || method == TiffCompression::G4;
    };
    return c.pngLevel >= 0 && c.pngLevel <= 9 && known(c.tiffBilevel) && known(c.tiffTone) &&
           c.tiffTone != TiffCompression::G4 && c.tiffDeflateLevel >= 1 && c.tiffDeflateLevel <= 9 &&
           c.jpegQuality >= 0 && c.jpegQuality <= 100 && c.inputJpegQuality >= 0 && c.inputJpegQuality <= 100;
}

}  // namespace

void SetMaxPixels(unsigned long long pixels) { imagelib::PageLimits::SetMaxPixels(pixels); }

unsigned long long MaxPixels() { return imagelib::PageLimits::MaxPixels(); }

// ---- PageReader ----

struct PageReader::State {
    ImageFileFormat format = ImageFileFormat::Unknown;
    int pages = 0;
    int jpegQuality = 0;
    std::string error;
    imagelib::TiffReader tiff;
    FilePtr file;  // PNG and JPEG
};

PageReader::PageReader() : state_(new State) {}

PageReader::~PageReader() { delete state_; }

int PageReader::open(const std::string& path) {
    try {
        delete state_;
        state_ = nullptr;
        state_ = new State;
        State& s = *state_;
        int fd = -1;
        std::uint64_t size = 0;
        int status = OpenRegular(path, &fd, &size, &s.error);
        if (status < 0) return status;
        s.format = SniffDescriptor(fd);
        switch (s.format) {
            case ImageFileFormat::Tiff:
                status = s.tiff.open(fd, size, &s.error);
                if (status < 0) return status;
                s.pages = s.tiff.pageCount();
                return IMG_OK;
            case ImageFileFormat::Png:
            case ImageFileFormat::Jpeg:
                s.file.reset(::fdopen(fd, "rb"));
                if (!s.file) {
                    ::close(fd);
                    s.error = "out of memory";
                    return IMG_OUT_OF_MEMORY;
                }
                status = s.format == ImageFileFormat::Png
                             ? imagelib::PngCodec::Check(s.file.get(), &s.error)
                             : imagelib::JpegCodec::Check(s.file.get(), &s.error, &s.jpegQuality);
                if (status < 0) return status;
                s.pages = 1;
                return IMG_OK;
            default:
                ::close(fd);
                s.error = "not a TIFF, PNG or JPEG file";
                return IMG_BAD_FILE_FORMAT;
        }
    } catch (const std::bad_alloc&) {
        if (!state_) return IMG_OUT_OF_MEMORY;
        state_->error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
}

ImageFileFormat PageReader::format() const { return state_ ? state_->format : ImageFileFormat::Unknown; }

int PageReader::pageCount() const { return state_ ? state_->pages : 0; }

int PageReader::jpegQuality() const { return state_ ? state_->jpegQuality : 0; }

const std::string& PageReader::error() const {
    static const std::string kNone = "out of memory";
    return state_ ? state_->error : kNone;
}

int PageReader::readPage(int index) {
    if (!state_) return IMG_OUT_OF_MEMORY;
    State& s = *state_;
    try {
        s.error.clear();
        if (s.pages == 0) {
            s.error = "no file is open";
            return IMG_BAD_ARGUMENT;
        }
        if (index < 0 || index >= s.pages) {
            s.error = "no page " + std::to_string(index + 1) + " (the file has " + std::to_string(s.pages) + ")";
            return IMG_BAD_ARGUMENT;
        }
        Dib dib;
        int status = IMG_OK;
        if (s.format == ImageFileFormat::Tiff) {
            status = s.tiff.readPage(index, &dib, &s.error);
        } else {
            std::rewind(s.file.get());
            status = s.format == ImageFileFormat::Png ? imagelib::PngCodec::Read(s.file.get(), &dib, &s.error)
                                                      : imagelib::JpegCodec::Read(s.file.get(), &dib, &s.error);
        }
        if (status < 0) return status;
        return BitmapTable::Instance().add(std::move(dib));
    } catch (const std::bad_alloc&) {
        s.error = "page " + std::to_string(index + 1) + ": out of memory";
        return IMG_OUT_OF_MEMORY;
    }
}

// ---- PageWriter ----

struct PageWriter::State {
    ImageFileFormat format = ImageFileFormat::Unknown;
    Compression compression;
    std::string target;
    std::string error;
    imagelib::TemporaryFile file;
    std::unique_ptr<imagelib::TiffWriter> tiff;
    int pages = 0;
    bool failed = false;
};

PageWriter::PageWriter() : state_(new State) {}

PageWriter::~PageWriter() { delete state_; }

int PageWriter::begin(const std::string& target, ImageFileFormat format, const Compression& compression) {
    if (!state_) return IMG_OUT_OF_MEMORY;
    State& s = *state_;
    try {
        s.file.remove();
        s.tiff.reset();
        s.pages = 0;
        s.failed = true;  // until begin succeeds
        s.error.clear();
        s.format = format;
        s.target = target;
        if (format == ImageFileFormat::Unknown) {
            s.error = target + ": no file format given";
            return IMG_BAD_ARGUMENT;
        }
        if (!Valid(compression)) {
            s.error = target + ": compression settings out of range";
            return IMG_BAD_ARGUMENT;
        }
        s.compression = compression;
        int status = s.file.create(target, &s.error);
        if (status < 0) {
            s.error = target + ": " + s.error;
            return status;
        }
        if (format == ImageFileFormat::Tiff) {
            const int copy = ::dup(s.file.fd());
            if (copy < 0) {
                s.error = target + ": " + std::strerror(errno);
                s.file.remove();
                return IMG_FILE_WRITE_ERROR;
            }
            s.tiff = std::make_unique<imagelib::TiffWriter>();
            status = s.tiff->open(copy, &s.error);
            if (status < 0) {
                s.error = target + ": " + s.error;
                s.file.remove();
                return status;
            }
        }
        s.failed = false;
        return IMG_OK;
    } catch (const std::bad_alloc&) {
        s.file.remove();
        s.error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
}

int PageWriter::append(int handle) {
    if (!state_) return IMG_OUT_OF_MEMORY;
    State& s = *state_;
    auto fail = [&](int status, const std::string& cause) {
        s.failed = true;
        s.error = s.target + ": " + cause;
        s.tiff.reset();
        s.file.remove();
        return status;
    };
    if (s.failed || s.file.fd() < 0) return fail(IMG_BAD_ARGUMENT, "the file was not begun or has failed");
    if (s.format != ImageFileFormat::Tiff && s.pages > 0)
        return fail(IMG_BAD_ARGUMENT, "only TIFF files hold several pages");
    try {
        const auto entry = BitmapTable::Instance().find(handle);
        if (!entry) return fail(IMG_BAD_HANDLE, "bad image handle " + std::to_string(handle));
        std::lock_guard lock(entry->mutex);
        if (entry->dib.empty()) return fail(IMG_BAD_HANDLE, "bad image handle " + std::to_string(handle));
        if (!entry->dib.intact()) return fail(IMG_INTERNAL_ERROR, "the page's header no longer fits its pixels");
        std::string cause;
        int status = IMG_OK;
        if (s.format == ImageFileFormat::Tiff) {
            status = s.tiff->append(entry->dib, s.compression, &cause);
        } else {
            const int copy = ::dup(s.file.fd());
            FilePtr out(copy >= 0 ? ::fdopen(copy, "wb") : nullptr);
            if (!out) {
                if (copy >= 0) ::close(copy);
                return fail(IMG_FILE_WRITE_ERROR, std::strerror(errno));
            }
            status = s.format == ImageFileFormat::Png
                         ? imagelib::PngCodec::Write(out.get(), entry->dib, s.compression, &cause)
                         : imagelib::JpegCodec::Write(out.get(), entry->dib, s.compression, &cause);
            const bool flushed = std::fflush(out.get()) == 0 && !std::ferror(out.get());
            const int err = errno;
            if (std::fclose(out.release()) != 0 || !flushed) {
                if (status == IMG_OK) {
                    status = IMG_FILE_WRITE_ERROR;
                    cause = std::strerror(err);
                }
            }
        }
        if (status < 0) return fail(status, cause);
        ++s.pages;
        return IMG_OK;
    } catch (const std::bad_alloc&) {
        return fail(IMG_OUT_OF_MEMORY, "out of memory");
    }
}

int PageWriter::commit() {
    if (!state_) return IMG_OUT_OF_MEMORY;
    State& s = *state_;
    if (s.failed || s.file.fd() < 0) {
        s.file.remove();
        if (s.error.empty()) s.error = s.target + ": the file was not begun";
        return IMG_BAD_ARGUMENT;
    }
    if (s.pages == 0) {
        s.failed = true;
        s.file.remove();
        s.error = s.target + ": no pages to write";
        return IMG_BAD_ARGUMENT;
    }
    std::string cause;
    if (s.tiff) {
        const int status = s.tiff->finish(&cause);
        s.tiff.reset();
        if (status < 0) {
            s.failed = true;
            s.file.remove();
            s.error = s.target + ": " + cause;
            return status;
        }
    }
    const int status = s.file.commit(&cause);
    s.failed = true;  // a writer commits once
    if (status < 0) s.error = cause;
    return status;
}

void PageWriter::abandon() {
    if (!state_) return;
    state_->tiff.reset();
    state_->file.remove();
    state_->failed = true;
}

int PageWriter::pageCount() const { return state_ ? state_->pages : 0; }

const std::string& PageWriter::temporaryPath() const {
    static const std::string kNone;
    return state_ ? state_->file.path() : kNone;
}

const std::string& PageWriter::error() const {
    static const std::string kNone = "out of memory";
    return state_ ? state_->error : kNone;
}

bool IsTemporaryFileName(const std::string& fileName) { return imagelib::TemporaryFile::IsTemporaryName(fileName); }

void RemoveTemporaryFilesNow() { imagelib::TemporaryFile::RemoveAllNow(); }

// ---- whole-file helpers ----

ImageFileFormat Sniff(const std::string& path) {
    int fd = -1;
    std::uint64_t size = 0;
    std::string error;
    if (OpenRegular(path, &fd, &size, &error) < 0) return ImageFileFormat::Unknown;
    const ImageFileFormat format = SniffDescriptor(fd);
    ::close(fd);
    return format;
}

int CountPages(const std::string& path, std::string* error) {
    PageReader reader;
    const int status = reader.open(path);
    if (status < 0) {
        if (error) *error = path + ": " + reader.error();
        return status;
    }
    return reader.pageCount();
}

int LoadPage(const std::string& path, int index, std::string* error) {
    PageReader reader;
    int status = reader.open(path);
    if (status >= 0) status = reader.readPage(index);
    if (status < 0 && error) *error = path + ": " + reader.error();
    return status;
}

int SavePages(const std::string& path, const std::vector<int>& handles, ImageFileFormat format, std::string* error,
              const Compression& compression) {
    auto fail = [&](int status, const std::string& cause) {
        if (error) *error = cause;
        return status;
    };
    if (format == ImageFileFormat::Unknown) return fail(IMG_BAD_ARGUMENT, path + ": no file format given");
    if (handles.empty()) return fail(IMG_BAD_ARGUMENT, path + ": no pages to write");
    if (format != ImageFileFormat::Tiff && handles.size() > 1)
        return fail(IMG_BAD_ARGUMENT, path + ": only TIFF files hold several pages");
    PageWriter writer;
    int status = writer.begin(path, format, compression);
    for (std::size_t i = 0; status >= 0 && i < handles.size(); ++i) status = writer.append(handles[i]);
    if (status >= 0) status = writer.commit();
    return status < 0 ? fail(status, writer.error()) : IMG_OK;
}

}  // namespace imagefile
