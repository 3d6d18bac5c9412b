// JPEG reading and writing on libjpeg; see the header. libjpeg reports fatal
// errors through error_exit, which longjmps back into the stage function that
// set the jump; those functions hold nothing with a destructor.
#include "platform/imagelib/JpegCodec.h"

#include "platform/imagelib/PageLimits.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <new>
#include <vector>

namespace imagelib {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    DecodeLog* log;
};

void Record(j_common_ptr info, bool warning) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    if (info->err->msg_code == JERR_OUT_OF_MEMORY) manager->log->outOfMemory();
    if (warning)
        manager->log->warning(text);
    else
        manager->log->error(text);
}

[[noreturn]] void OnErrorExit(j_common_ptr info) {
    Record(info, false);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnEmit(j_common_ptr info, int level) {
    if (level < 0) Record(info, true);  // warnings; trace messages are dropped
}

void OnOutput(j_common_ptr) {}

void Install(ErrorManager* manager, DecodeLog* log) {
    jpeg_std_error(&manager->base);
    manager->base.error_exit = OnErrorExit;
    manager->base.emit_message = OnEmit;
    manager->base.output_message = OnOutput;
    manager->log = log;
}

struct Header {
    JDIMENSION width = 0, height = 0;
    int components = 0;
    J_COLOR_SPACE space = JCS_UNKNOWN;
    LONG dpiX = 0, dpiY = 0;
    unsigned short luminance[DCTSIZE2] = {};  // quantisation steps of table 0, natural order
    bool hasLuminance = false;
};

// The luminance quantisation table of the JPEG standard (its annex K), in
// natural order; encoders scale it by quality.
// clang-format off
constexpr unsigned short kStandardLuminance[DCTSIZE2] = {
    16, 11, 10, 16,  24,  40,  51,  61,
    12, 12, 14, 19,  26,  58,  60,  55,
    14, 13, 16, 24,  40,  57,  69,  56,
    14, 17, 22, 29,  51,  87,  80,  62,
    18, 22, 37, 56,  68, 109, 103,  77,
    24, 35, 55, 64,  81, 104, 113,  92,
    49, 64, 78, 87, 103, 121, 120, 101,
    72, 92, 95, 98, 112, 100, 103,  99};
// clang-format on

LONG Dpi(unsigned density, int unit) {
    if (unit == 1) return static_cast<LONG>(density);
    if (unit == 2) return static_cast<LONG>(density * 2.54 + 0.5);
    return 0;
}

int ReadHeader(jpeg_decompress_struct* info, ErrorManager* errors, FILE* file, Header* h) {
    if (setjmp(errors->jump)) return -1;
    jpeg_create_decompress(info);
    jpeg_stdio_src(info, file);
    jpeg_read_header(info, TRUE);
    h->width = info->image_width;
    h->height = info->image_height;
    h->components = info->num_components;
    h->space = info->jpeg_color_space;
    h->dpiX = Dpi(info->X_density, info->density_unit);
    h->dpiY = Dpi(info->Y_density, info->density_unit);
    if (const JQUANT_TBL* table = info->quant_tbl_ptrs[0]) {
        for (int i = 0; i < DCTSIZE2; ++i) h->luminance[i] = table->quantval[i];
        h->hasLuminance = true;
    }
    return 0;
}

// CMYK as Adobe writes it (inverted): each colour is its ink times black.
void CmykRow(const JSAMPLE* in, BYTE* out, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned k = in[3];
        out[0] = static_cast<BYTE>(in[2] * k / 255);
        out[1] = static_cast<BYTE>(in[1] * k / 255);
        out[2] = static_cast<BYTE>(in[0] * k / 255);
    }
}

int ReadRows(jpeg_decompress_struct* info, ErrorManager* errors, Dib* out, JSAMPLE* cmykRow) {
    if (setjmp(errors->jump)) return -1;
    jpeg_start_decompress(info);
    while (info->output_scanline < info->output_height) {
        const auto y = static_cast<LONG>(info->output_scanline);
        JSAMPROW row = cmykRow ? cmykRow : out->topRow(y);
        if (jpeg_read_scanlines(info, &row, 1) != 1) break;
        if (cmykRow) CmykRow(cmykRow, out->topRow(y), info->output_width);
    }
    jpeg_finish_decompress(info);
    return 0;
}

int WriteRows(jpeg_compress_struct* info, ErrorManager* errors, FILE* file, const Dib* dib, int quality, bool optimize,
              JSAMPLE* greyRow) {
    if (setjmp(errors->jump)) return -1;
    jpeg_create_compress(info);
    jpeg_stdio_dest(info, file);
    info->image_width = static_cast<JDIMENSION>(dib->width());
    info->image_height = static_cast<JDIMENSION>(dib->height());
    const bool colour = dib->bits() == 24;
    info->input_components = colour ? 3 : 1;
    info->in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    info->optimize_coding = optimize ? TRUE : FALSE;
    const LONG dpiX = dib->header()->biXPelsPerMeter, dpiY = dib->header()->biYPelsPerMeter;
    if (dpiX > 0 && dpiY > 0 && dpiX <= 65535 && dpiY <= 65535) {
        info->density_unit = 1;
        info->X_density = static_cast<UINT16>(dpiX);
        info->Y_density = static_cast<UINT16>(dpiY);
    }
    jpeg_start_compress(info, TRUE);
    const LONG width = dib->width();
    for (LONG y = 0; y < dib->height(); ++y) {
        const BYTE* source = dib->topRow(y);
        JSAMPROW row = const_cast<JSAMPROW>(source);
        if (greyRow) {
            for (LONG x = 0; x < width; ++x) greyRow[x] = ((source[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0;
            row = greyRow;
        }
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return 0;
}

int Failure(const DecodeLog& log, const char* what, std::string* error) {
    if (log.ranOutOfMemory()) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    *error = std::string(what) + " (" + (log.text().empty() ? "unknown error" : log.text()) + ")";
    return IMG_BAD_FILE_FORMAT;
}

struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    DecodeLog log;
    Decompressor() {
        Install(&errors, &log);
        info.err = &errors.base;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

int Open(FILE* file, Decompressor& d, Header* h, std::string* error) {
    if (ReadHeader(&d.info, &d.errors, file, h) != 0) return Failure(d.log, "damaged JPEG header", error);
    if (d.log.hasWarnings()) return Failure(d.log, "damaged JPEG header", error);
    return PageLimits::Check(h->width, h->height, error);
}

}  // namespace

int JpegCodec::Check(FILE* file, std::string* error, int* quality) {
    Decompressor d;
    Header h;
    const int status = Open(file, d, &h, error);
    if (quality) *quality = status >= 0 && h.hasLuminance ? EstimateQuality(h.luminance) : 0;
    return status;
}

int JpegCodec::EstimateQuality(const unsigned short* table) {
    // The usual scaling: quality q multiplies each step by 5000/q percent
    // below 50 and by 200 - 2q percent from 50 on, rounded, kept in 1..255.
    int best = 0;
    long bestError = 0;
    for (int q = 1; q <= 100; ++q) {
        const long scale = q < 50 ? 5000 / q : 200 - 2 * q;
        long error = 0;
        for (int i = 0; i < DCTSIZE2; ++i) {
            const long step = std::clamp((kStandardLuminance[i] * scale + 50) / 100, 1L, 255L);
            error += std::labs(step - static_cast<long>(table[i]));
        }
        if (best == 0 || error < bestError) {
            best = q;
            bestError = error;
        }
    }
    // Tables of another design (a camera's own) are off by more than about
    // one step in four on average: no estimate.
    long total = 0;
    for (int i = 0; i < DCTSIZE2; ++i) total += table[i];
    return bestError * 4 <= total ? best : 0;
}

int JpegCodec::Read(FILE* file, Dib* out, std::string* error) {
    Decompressor d;
    Header h;
    int status = Open(file, d, &h, error);
    if (status < 0) return status;
    const bool cmyk = h.space == JCS_CMYK || h.space == JCS_YCCK;
    const bool grey = h.space == JCS_GRAYSCALE;
    d.info.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    try {
        Dib dib = Dib::Create(static_cast<LONG>(h.width), static_cast<LONG>(h.height), grey ? 8 : 24, h.dpiX, h.dpiY,
                              Dib::Fill::Zero);
        std::vector<JSAMPLE> cmykRow(cmyk ? std::size_t{h.width} * 4 : 0);
        if (ReadRows(&d.info, &d.errors, &dib, cmyk ? cmykRow.data() : nullptr) != 0)
            return Failure(d.log, "damaged JPEG image data", error);
        // libjpeg fills what it could not decode with grey and only warns.
        if (d.log.hasWarnings()) return Failure(d.log, "damaged JPEG image data", error);
        *out = std::move(dib);
        return IMG_OK;
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
}

int JpegCodec::Write(FILE* file, const Dib& dib, const imagefile::Compression& compression, std::string* error) {
    DecodeLog log;
    ErrorManager errors{};
    Install(&errors, &log);
    jpeg_compress_struct info{};
    info.err = &errors.base;
    std::vector<JSAMPLE> greyRow;
    try {
        if (dib.bits() == 1) greyRow.resize(static_cast<std::size_t>(dib.width()));
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    const int quality = compression.jpegQuality > 0        ? compression.jpegQuality
                        : compression.inputJpegQuality > 0 ? compression.inputJpegQuality
                                                           : kDefaultQuality;
    const int result = WriteRows(&info, &errors, file, &dib, std::clamp(quality, 1, 100), compression.jpegOptimize,
                                 greyRow.empty() ? nullptr : greyRow.data());
    jpeg_destroy_compress(&info);
    if (result == 0 && !log.hasErrors()) return IMG_OK;
    *error = "JPEG encoder: " + log.text();
    return log.ranOutOfMemory() ? IMG_OUT_OF_MEMORY : IMG_FILE_WRITE_ERROR;
}

}  // namespace imagelib
