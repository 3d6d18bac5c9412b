// PNG reading and writing on libpng; see the header. libpng reports errors by
// longjmp, so each libpng stage runs in a function of its own whose frame
// holds nothing with a destructor; buffers are allocated outside them.
#include "platform/imagelib/PngCodec.h"

#include "platform/imagelib/PageLimits.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

namespace imagelib {
namespace {

void OnError(png_structp png, png_const_charp message) {
    static_cast<DecodeLog*>(png_get_error_ptr(png))->error(message ? message : "error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    static_cast<DecodeLog*>(png_get_error_ptr(png))->warning(message ? message : "warning");
}

// What the header says and how rows become DIB rows (plain data: it crosses
// the longjmp stages).
struct Header {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0, passes = 1;
    int paletteSize = 0, alphaCount = 0;
    png_color palette[256] = {};
    png_byte alpha[256] = {};
    LONG dpiX = 0, dpiY = 0;
    WORD outBits = 24;
    bool invertBits = false;  // two-colour palette whose index 1 is the darker
    std::size_t rowBytes = 0;
};

int Luminance(const png_color& c) { return 299 * c.red + 587 * c.green + 114 * c.blue; }

inline BYTE OverWhite(unsigned c, unsigned a) { return static_cast<BYTE>((c * a + 255 * (255 - a) + 127) / 255); }

// Stage 1: header, transforms, row size.
int ReadHeader(png_structp png, png_infop info, Header* h) {
    if (setjmp(png_jmpbuf(png))) return -1;
    png_read_info(png, info);
    png_get_IHDR(png, info, &h->width, &h->height, &h->bitDepth, &h->colorType, &h->interlace, nullptr, nullptr);
    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) {
        h->dpiX = resX > 100'000'000 ? 0 : static_cast<LONG>((resX * 254 + 5000) / 10000);
        h->dpiY = resY > 100'000'000 ? 0 : static_cast<LONG>((resY * 254 + 5000) / 10000);
    }
    if (h->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp colours = nullptr;
        if (!png_get_PLTE(png, info, &colours, &h->paletteSize) || h->paletteSize <= 0) png_error(png, "no palette");
        std::memcpy(h->palette, colours, sizeof(png_color) * static_cast<std::size_t>(h->paletteSize));
        png_bytep trans = nullptr;
        if (png_get_tRNS(png, info, &trans, &h->alphaCount, nullptr) && trans)
            std::memcpy(h->alpha, trans, static_cast<std::size_t>(h->alphaCount));
        else
            h->alphaCount = 0;
        for (int i = h->alphaCount; i < 256; ++i) h->alpha[i] = 255;
        bool grey = true;
        for (int i = 0; i < h->paletteSize; ++i)
            grey = grey && h->palette[i].red == h->palette[i].green && h->palette[i].green == h->palette[i].blue;
        if (h->bitDepth == 1 && h->paletteSize == 2 && h->alphaCount == 0) {
            h->outBits = 1;
            h->invertBits = Luminance(h->palette[1]) < Luminance(h->palette[0]);
        } else {
            h->outBits = grey ? 8 : 24;
            png_set_packing(png);
        }
    } else if (h->colorType == PNG_COLOR_TYPE_GRAY && h->bitDepth == 1) {
        h->outBits = 1;
    } else if (h->colorType == PNG_COLOR_TYPE_GRAY || h->colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        h->outBits = 8;
        if (h->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    } else {
        h->outBits = 24;
    }
    if (h->bitDepth == 16) png_set_strip_16(png);
    h->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    h->rowBytes = png_get_rowbytes(png, info);
    return 0;
}

void ConvertRow(const Header& h, const png_byte* in, BYTE* out) {
    const std::size_t width = h.width;
    switch (h.colorType) {
        case PNG_COLOR_TYPE_GRAY:
            if (h.outBits == 1) {
                std::memcpy(out, in, (width + 7) / 8);
            } else {
                std::memcpy(out, in, width);
            }
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            for (std::size_t x = 0; x < width; ++x) out[x] = OverWhite(in[2 * x], in[2 * x + 1]);
            break;
        case PNG_COLOR_TYPE_PALETTE:
            if (h.outBits == 1) {
                const std::size_t bytes = (width + 7) / 8;
                for (std::size_t i = 0; i < bytes; ++i) out[i] = h.invertBits ? static_cast<BYTE>(~in[i]) : in[i];
                break;
            }
            for (std::size_t x = 0; x < width; ++x) {
                const unsigned index = in[x];
                const png_color c = index < static_cast<unsigned>(h.paletteSize) ? h.palette[index] : png_color{};
                const unsigned a = h.alpha[index];
                if (h.outBits == 8) {
                    out[x] = OverWhite(c.green, a);
                } else {
                    out[3 * x] = OverWhite(c.blue, a);
                    out[3 * x + 1] = OverWhite(c.green, a);
                    out[3 * x + 2] = OverWhite(c.red, a);
                }
            }
            break;
        default: {
            const bool alpha = h.colorType == PNG_COLOR_TYPE_RGB_ALPHA;
            const std::size_t step = alpha ? 4 : 3;
            for (std::size_t x = 0; x < width; ++x) {
                const png_byte* p = in + x * step;
                const unsigned a = alpha ? p[3] : 255;
                out[3 * x] = OverWhite(p[2], a);
                out[3 * x + 1] = OverWhite(p[1], a);
                out[3 * x + 2] = OverWhite(p[0], a);
            }
        }
    }
    if (h.outBits == 1 && width % 8 != 0) out[(width + 7) / 8 - 1] &= static_cast<BYTE>(0xFF << (8 - width % 8));
}

// Stage 2: the rows, row by row into the DIB, or all at once into `image`
// (one row pointer per row) for interlaced files.
int ReadRows(png_structp png, png_infop info, const Header* h, Dib* out, png_bytep row, png_bytepp image) {
    if (setjmp(png_jmpbuf(png))) return -1;
    if (image) {
        png_read_image(png, image);
        for (png_uint_32 y = 0; y < h->height; ++y) ConvertRow(*h, image[y], out->topRow(static_cast<LONG>(y)));
    } else {
        for (png_uint_32 y = 0; y < h->height; ++y) {
            png_read_row(png, row, nullptr);
            ConvertRow(*h, row, out->topRow(static_cast<LONG>(y)));
        }
    }
    png_read_end(png, info);
    return 0;
}

int WriteRows(png_structp png, png_infop info, const Dib* dib, const imagefile::Compression* compression) {
    if (setjmp(png_jmpbuf(png))) return -1;
    const int bits = dib->bits();
    // Scanned pages are mostly flat: the Up filter turns them into runs of
    // zeros and run-length matching finds those without a hash search.
    // Without it libpng picks a filter per row (for 8 and 24 bits).
    png_set_compression_level(png, compression->pngLevel);
    if (compression->pngLevel == 0) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    } else if (compression->pngRunLength) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
        png_set_compression_strategy(png, Z_RLE);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(dib->width()), static_cast<png_uint_32>(dib->height()),
                 bits == 1 ? 1 : 8, bits == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const LONG dpiX = dib->header()->biXPelsPerMeter, dpiY = dib->header()->biYPelsPerMeter;
    if (dpiX > 0 && dpiY > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(dpiX / 0.0254 + 0.5),
                     static_cast<png_uint_32>(dpiY / 0.0254 + 0.5), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (bits == 24) png_set_bgr(png);
    // A set 1-bit pixel is white, as in a PNG grey image: rows go as they are.
    for (LONG y = 0; y < dib->height(); ++y) png_write_row(png, dib->topRow(y));
    png_write_end(png, info);
    return 0;
}

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

int Failure(const DecodeLog& log, const char* what, std::string* error) {
    if (log.ranOutOfMemory()) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    *error = std::string(what) + " (" + (log.text().empty() ? "unknown error" : log.text()) + ")";
    return IMG_BAD_FILE_FORMAT;
}

int Open(FILE* file, DecodeLog& log, ReadStructs& s, Header* h, std::string* error) {
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &log, OnError, OnWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    // Our own limits decide what is too large, after the header is read.
    png_set_user_limits(s.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_init_io(s.png, file);
    if (ReadHeader(s.png, s.info, h) != 0) return Failure(log, "damaged PNG header", error);
    return PageLimits::Check(h->width, h->height, error);
}

}  // namespace

int PngCodec::Check(FILE* file, std::string* error) {
    DecodeLog log;
    ReadStructs s;
    Header h;
    return Open(file, log, s, &h, error);
}

int PngCodec::Read(FILE* file, Dib* out, std::string* error) {
    DecodeLog log;
    ReadStructs s;
    Header h;
    const int status = Open(file, log, s, &h, error);
    if (status < 0) return status;
    try {
        Dib dib = Dib::Create(static_cast<LONG>(h.width), static_cast<LONG>(h.height), h.outBits, h.dpiX, h.dpiY,
                              Dib::Fill::Zero);
        std::vector<png_byte> buffer;
        std::vector<png_bytep> rows;
        if (h.passes > 1) {
            buffer.resize(h.rowBytes * h.height);
            rows.resize(h.height);
            for (png_uint_32 y = 0; y < h.height; ++y) rows[y] = buffer.data() + y * h.rowBytes;
        } else {
            buffer.resize(h.rowBytes);
        }
        if (ReadRows(s.png, s.info, &h, &dib, buffer.data(), rows.empty() ? nullptr : rows.data()) != 0)
            return Failure(log, "damaged PNG image data", error);
        *out = std::move(dib);
        return IMG_OK;
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
}

int PngCodec::Write(FILE* file, const Dib& dib, const imagefile::Compression& compression, std::string* error) {
    DecodeLog log;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &log, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    int status = IMG_OK;
    if (!png || !info) {
        *error = "out of memory";
        status = IMG_OUT_OF_MEMORY;
    } else {
        png_init_io(png, file);
        if (WriteRows(png, info, &dib, &compression) != 0) {
            status = log.ranOutOfMemory() ? IMG_OUT_OF_MEMORY : IMG_FILE_WRITE_ERROR;
            *error = "PNG encoder: " + log.text();
        }
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return status;
}

}  // namespace imagelib
