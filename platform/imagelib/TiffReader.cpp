// TIFF pages through libtiff; see the header for what is checked and when.
#include "platform/imagelib/TiffReader.h"

#include "platform/imagelib/PageLimits.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

namespace imagelib {
namespace {

constexpr int kMaxPages = 65535;
constexpr std::uint64_t kMaxTilePixels = std::uint64_t{1} << 20;  // or four times the page
constexpr std::uint16_t kMaxSamples = 8;

std::string PageName(int index) { return "page " + std::to_string(index + 1); }

LONG ToDpi(float value, std::uint16_t unit) {
    if (!std::isfinite(value) || value <= 0) return 0;
    const double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
    return dpi > 1e6 ? 0 : static_cast<LONG>(std::lround(dpi));
}

int Luminance(unsigned r, unsigned g, unsigned b) { return static_cast<int>(299 * r + 587 * g + 114 * b); }

// Sample `x` of a packed row of `bits`-bit samples (1, 2, 4, 8 or 16).
inline unsigned Sample(const std::uint8_t* row, std::size_t x, int bits) {
    switch (bits) {
        case 8:
            return row[x];
        case 16: {
            std::uint16_t v;
            std::memcpy(&v, row + 2 * x, 2);
            return v >> 8;  // libtiff hands 16-bit samples over in native order
        }
        default: {
            const std::size_t bit = x * static_cast<std::size_t>(bits);
            return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        }
    }
}

inline BYTE OverWhite(unsigned c, unsigned a, bool premultiplied) {
    if (premultiplied) return static_cast<BYTE>(std::min(255u, c + 255 - std::min(a, 255u)));
    return static_cast<BYTE>((c * a + 255 * (255 - a) + 127) / 255);
}

// Row of samples -> row of DIB pixels, tables built once per page.
class RowConverter {
public:
    RowConverter(TIFF* tiff, const TiffReader::Page& page) : page_(page) {
        if (page.layout == TiffReader::Layout::Grey) {
            const unsigned top = page.bits == 16 ? 255u : (1u << page.bits) - 1;
            for (unsigned v = 0; v <= top; ++v) {
                const auto level = static_cast<BYTE>((v * 255 + top / 2) / top);
                grey_[v] = page.photometric == PHOTOMETRIC_MINISWHITE ? static_cast<BYTE>(255 - level) : level;
            }
        }
        if (page.layout == TiffReader::Layout::Palette || page.layout == TiffReader::Layout::Bilevel) {
            std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            const unsigned entries = 1u << page.bits;
            if (page.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(tiff, TIFFTAG_COLORMAP, &r, &g, &b)) {
                // Some writers store 8-bit values in the 16-bit map.
                bool eightBit = true;
                for (unsigned i = 0; i < entries; ++i) eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
                const int shift = eightBit ? 0 : 8;
                for (unsigned i = 0; i < entries; ++i)
                    palette_[i] = RGBQUAD{static_cast<BYTE>(b[i] >> shift), static_cast<BYTE>(g[i] >> shift),
                                          static_cast<BYTE>(r[i] >> shift), 0};
                if (page.layout == TiffReader::Layout::Bilevel) {
                    const RGBQUAD& zero = palette_[0];
                    const RGBQUAD& one = palette_[1];
                    invertBits_ = Luminance(one.rgbRed, one.rgbGreen, one.rgbBlue) <
                                  Luminance(zero.rgbRed, zero.rgbGreen, zero.rgbBlue);
                }
            } else {
                invertBits_ = page.photometric == PHOTOMETRIC_MINISWHITE;
            }
        }
    }

    void convert(const std::uint8_t* in, BYTE* out) const {
        const std::size_t width = page_.width;
        switch (page_.layout) {
            case TiffReader::Layout::Bilevel: {
                const std::size_t bytes = (width + 7) / 8;
                for (std::size_t i = 0; i < bytes; ++i) out[i] = invertBits_ ? static_cast<BYTE>(~in[i]) : in[i];
                if (width % 8 != 0) out[bytes - 1] &= static_cast<BYTE>(0xFF << (8 - width % 8));
                break;
            }
            case TiffReader::Layout::Grey:
                if (page_.bits == 8) {
                    for (std::size_t x = 0; x < width; ++x) out[x] = grey_[in[x]];
                } else {
                    for (std::size_t x = 0; x < width; ++x) out[x] = grey_[Sample(in, x, page_.bits)];
                }
                break;
            case TiffReader::Layout::Palette:
                for (std::size_t x = 0; x < width; ++x) {
                    const RGBQUAD& c = palette_[Sample(in, x, page_.bits)];
                    if (page_.outBits == 8) {
                        out[x] = c.rgbGreen;
                    } else {
                        out[3 * x] = c.rgbBlue;
                        out[3 * x + 1] = c.rgbGreen;
                        out[3 * x + 2] = c.rgbRed;
                    }
                }
                break;
            case TiffReader::Layout::Rgb: {
                const std::size_t spp = page_.samples;
                for (std::size_t x = 0; x < width; ++x) {
                    const std::size_t s = x * spp;
                    unsigned r = Sample(in, s, page_.bits), g = Sample(in, s + 1, page_.bits),
                             b = Sample(in, s + 2, page_.bits);
                    if (page_.alphaSample >= 0) {
                        const unsigned a = Sample(in, s + static_cast<std::size_t>(page_.alphaSample), page_.bits);
                        r = OverWhite(r, a, page_.alphaPremultiplied);
                        g = OverWhite(g, a, page_.alphaPremultiplied);
                        b = OverWhite(b, a, page_.alphaPremultiplied);
                    }
                    out[3 * x] = static_cast<BYTE>(b);
                    out[3 * x + 1] = static_cast<BYTE>(g);
                    out[3 * x + 2] = static_cast<BYTE>(r);
                }
                break;
            }
            case TiffReader::Layout::Generic:
                break;
        }
    }

    bool palettedGrey() const {
        for (unsigned i = 0; i < (1u << page_.bits); ++i) {
            const RGBQUAD& c = palette_[i];
            if (c.rgbRed != c.rgbGreen || c.rgbGreen != c.rgbBlue) return false;
        }
        return true;
    }

private:
    const TiffReader::Page& page_;
    std::array<BYTE, 256> grey_{};
    std::array<RGBQUAD, 256> palette_{};
    bool invertBits_ = false;
};

// Decoder messages that mean the pixels are not what the file meant.
bool DamageReported(const DecodeLog& log) {
    if (log.hasErrors()) return true;
    // A missing end code after complete LZW data is common and harmless.
    return log.hasWarnings() && log.text().find("not terminated with EOI") == std::string::npos;
}

bool FaxCoded(std::uint16_t compression) {
    return compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4 ||
           compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW;
}

// True when the first `bits` bits of `row` are all still `fill`.
bool Untouched(const std::uint8_t* row, std::size_t bits, std::uint8_t fill) {
    const std::size_t full = bits / 8;
    for (std::size_t i = 0; i < full; ++i)
        if (row[i] != fill) return false;
    if (bits % 8 == 0) return true;
    const auto mask = static_cast<std::uint8_t>(0xFF << (8 - bits % 8));
    return (row[full] & mask) == (fill & mask);
}

// Reads one strip or tile. libtiff's fax decoders stop quietly at an early
// end-of-block code or at the end of the data ("badly terminated strips"),
// leaving the rest of the buffer as it was; for them the buffer is filled
// with a marker first, and a last row that kept the marker under two
// different markers was never decoded.
template <class Read>
bool ReadUnit(Read&& read, std::uint8_t* buffer, std::size_t bytes, bool fax, std::size_t lastRow, std::size_t rowBits,
              DecodeLog& log) {
    if (!fax) return read();
    for (const std::uint8_t marker : {std::uint8_t{0x5A}, std::uint8_t{0xA5}}) {
        std::memset(buffer, marker, bytes);
        if (!read()) return false;
        if (!Untouched(buffer + lastRow, rowBits, marker)) return true;
    }
    log.error("the compressed data ends before the last row");
    return false;
}

}  // namespace

TiffReader::TiffReader() = default;

TiffReader::~TiffReader() {
    if (tiff_) TIFFClose(tiff_);
}

int TiffReader::open(int fd, std::uint64_t fileSize, std::string* error) {
    DecodeLog::InstallProcessHandlers();
    DecodeLog::Scope scope(log_);
    fileSize_ = fileSize;
    auto fail = [&](int status, int index, const std::string& cause) {
        *error = PageName(index) + ": " + cause;
        return log_.ranOutOfMemory() ? static_cast<int>(IMG_OUT_OF_MEMORY) : status;
    };
    TIFFOpenOptions* options = log_.roomForLibrary() ? TIFFOpenOptionsAlloc() : nullptr;
    if (!options) {
        ::close(fd);
        *error = "out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, DecodeLog::TiffError, &log_);
    TIFFOpenOptionsSetWarningHandlerExtR(options, DecodeLog::TiffWarning, &log_);
    // "m": read with read(2), never map the file (a file cut short while
    // mapped would kill the process).
    tiff_ = TIFFFdOpenExt(fd, "page file", "rm", options);
    TIFFOpenOptionsFree(options);
    if (!tiff_) {
        ::close(fd);
        return fail(IMG_BAD_FILE_FORMAT, 0, "unreadable TIFF directory (" + log_.text() + ")");
    }
    for (int index = 0;; ++index) {
        if (index >= kMaxPages) return fail(IMG_BAD_FILE_FORMAT, index, "more than 65535 pages");
        Page page;
        std::string cause;
        const int status = checkDirectory(index, &page, &cause);
        if (status < 0) return fail(status, index, cause);
        try {
            pages_.push_back(page);
        } catch (const std::bad_alloc&) {
            *error = "out of memory";
            return IMG_OUT_OF_MEMORY;
        }
        log_.clear();
        if (!log_.roomForLibrary()) return fail(IMG_OUT_OF_MEMORY, index + 1, "out of memory");
        const bool more = TIFFReadDirectory(tiff_) != 0;
        if (log_.hasErrors())
            return fail(IMG_BAD_FILE_FORMAT, index + 1, "damaged TIFF directory (" + log_.text() + ")");
        if (!more) break;
    }
    return IMG_OK;
}

int TiffReader::checkDirectory(int index, Page* page, std::string* cause) {
    (void)index;
    TIFF* tif = tiff_;
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)) {
        *cause = "damaged TIFF directory (no image size)";
        return IMG_BAD_FILE_FORMAT;
    }
    if (width == 0 || height == 0) {
        *cause = "damaged TIFF directory (width " + std::to_string(width) + ", height " + std::to_string(height) + ")";
        return IMG_BAD_FILE_FORMAT;
    }
    const int limit = PageLimits::Check(width, height, cause);
    if (limit < 0) return limit;
    page->width = width;
    page->height = height;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT, extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &page->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &page->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &page->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &page->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page->photometric))
        page->photometric = page->samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (page->samples == 0 || page->bits == 0) {
        *cause = "damaged TIFF directory (no samples)";
        return IMG_BAD_FILE_FORMAT;
    }
    // The pixel budget bounds pixels, this bounds the bytes behind each one:
    // a small file must not make the decoder allocate gigabytes.
    if (page->samples > kMaxSamples || page->bits > 16) {
        *cause = "unsupported TIFF pixel layout (" + std::to_string(page->samples) + " samples of " +
                 std::to_string(page->bits) + " bits)";
        return IMG_BAD_FILE_FORMAT;
    }
    if (!TIFFIsCODECConfigured(page->compression)) {
        *cause = "unsupported TIFF compression " + std::to_string(page->compression);
        return IMG_BAD_FILE_FORMAT;
    }
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0 && extraTypes &&
        extraCount < page->samples &&
        (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA)) {
        page->alphaSample = page->samples - extraCount;
        page->alphaPremultiplied = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }

    page->tiled = TIFFIsTiled(tif) != 0;
    std::uint32_t strips = 0;
    if (page->tiled) {
        if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &page->tileWidth) ||
            !TIFFGetField(tif, TIFFTAG_TILELENGTH, &page->tileHeight) || page->tileWidth == 0 ||
            page->tileHeight == 0 ||
            std::uint64_t{page->tileWidth} * page->tileHeight >
                std::max<std::uint64_t>(kMaxTilePixels, 4 * std::uint64_t{width} * height) ||
            (std::uint64_t{page->tileWidth} * page->samples * page->bits) % 8 != 0) {
            *cause = "damaged TIFF directory (tile size " + std::to_string(page->tileWidth) + " x " +
                     std::to_string(page->tileHeight) + ")";
            return IMG_BAD_FILE_FORMAT;
        }
        strips = TIFFNumberOfTiles(tif);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &page->rowsPerStrip);
        if (page->rowsPerStrip == 0) {
            *cause = "damaged TIFF directory (0 rows per strip)";
            return IMG_BAD_FILE_FORMAT;
        }
        page->rowsPerStrip = std::min(page->rowsPerStrip, height);
        strips = TIFFNumberOfStrips(tif);
    }
    // Every strip or tile must lie inside the file: a file cut short loses
    // them first.
    if (strips == 0) {
        *cause = "damaged TIFF directory (no image data)";
        return IMG_BAD_FILE_FORMAT;
    }
    for (std::uint32_t s = 0; s < strips; ++s) {
        int failed = 0;
        const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tif, s, &failed);
        const std::uint64_t bytes = failed ? 0 : TIFFGetStrileByteCountWithErr(tif, s, &failed);
        const char* unit = page->tiled ? "tile " : "strip ";
        if (failed || bytes == 0) {
            *cause = "damaged TIFF directory (" + std::string(unit) + std::to_string(s + 1) + " has no data)";
            return IMG_BAD_FILE_FORMAT;
        }
        if (offset > fileSize_ || bytes > fileSize_ - offset) {
            *cause = "truncated file (" + std::string(unit) + std::to_string(s + 1) + " of " + std::to_string(strips) +
                     " ends at byte " + std::to_string(offset + bytes) + ", the file has " + std::to_string(fileSize_) +
                     ")";
            return IMG_BAD_FILE_FORMAT;
        }
    }

    const bool unsignedSamples = sampleFormat == SAMPLEFORMAT_UINT;
    const std::uint16_t bits = page->bits;
    const bool packedBits = bits == 1 || bits == 2 || bits == 4 || bits == 8;
    if (page->photometric == PHOTOMETRIC_PALETTE && page->samples == 1 && packedBits && unsignedSamples) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) {
            *cause = "damaged TIFF directory (palette page without colour map)";
            return IMG_BAD_FILE_FORMAT;
        }
        page->layout = bits == 1 ? Layout::Bilevel : Layout::Palette;
    } else if ((page->photometric == PHOTOMETRIC_MINISWHITE || page->photometric == PHOTOMETRIC_MINISBLACK) &&
               page->samples == 1 && (packedBits || bits == 16) && unsignedSamples) {
        page->layout = bits == 1 ? Layout::Bilevel : Layout::Grey;
    } else if (page->photometric == PHOTOMETRIC_RGB && page->samples >= 3 && (bits == 8 || bits == 16) &&
               page->planar == PLANARCONFIG_CONTIG && unsignedSamples) {
        page->layout = Layout::Rgb;
    } else {
        char why[1024] = {};
        if (!TIFFRGBAImageOK(tif, why)) {
            *cause = std::string("unsupported TIFF pixel layout (") + why + ")";
            return IMG_BAD_FILE_FORMAT;
        }
        page->layout = Layout::Generic;
    }
    page->outBits = page->layout == Layout::Bilevel ? 1
                    : page->layout == Layout::Grey  ? 8
                    : (page->layout == Layout::Generic &&
                       (page->photometric == PHOTOMETRIC_MINISBLACK || page->photometric == PHOTOMETRIC_MINISWHITE))
                        ? 8
                        : 24;
    if (page->layout == Layout::Palette && RowConverter(tif, *page).palettedGrey()) page->outBits = 8;

    float xres = 0, yres = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres)) page->dpiX = ToDpi(xres, unit);
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres)) page->dpiY = ToDpi(yres, unit);
    return IMG_OK;
}

int TiffReader::readPage(int index, Dib* out, std::string* error) {
    DecodeLog::Scope scope(log_);
    if (!tiff_ || index < 0 || index >= pageCount()) {
        *error = "no " + PageName(index) + " (the file has " + std::to_string(pageCount()) + ")";
        return IMG_BAD_ARGUMENT;
    }
    log_.clear();
    if (!log_.roomForLibrary()) {
        *error = PageName(index) + ": out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    if (!TIFFSetDirectory(tiff_, static_cast<tdir_t>(index))) {
        *error = PageName(index) + ": damaged TIFF directory (" + log_.text() + ")";
        return IMG_BAD_FILE_FORMAT;
    }
    log_.clear();
    const Page& page = pages_[static_cast<std::size_t>(index)];
    int status = IMG_OK;
    try {
        Dib dib = Dib::Create(static_cast<LONG>(page.width), static_cast<LONG>(page.height), page.outBits, page.dpiX,
                              page.dpiY, Dib::Fill::Zero);
        status = page.layout == Layout::Generic ? decodeGeneric(page, &dib) : decodeNative(page, &dib);
        if (status == IMG_OK) *out = std::move(dib);
    } catch (const std::bad_alloc&) {
        log_.outOfMemory();
        status = IMG_OUT_OF_MEMORY;
    }
    if (status == IMG_OK) return IMG_OK;
    if (log_.ranOutOfMemory()) {
        *error = PageName(index) + ": out of memory";
        return IMG_OUT_OF_MEMORY;
    }
    *error = PageName(index) + ": damaged image data (" + (log_.text().empty() ? "short data" : log_.text()) + ")";
    return status;
}

int TiffReader::decodeNative(const Page& page, Dib* out) {
    TIFF* tif = tiff_;
    const RowConverter converter(tif, page);
    const std::size_t rowBytes = (std::size_t{page.width} * page.samples * page.bits + 7) / 8;
    const std::uint32_t bandRows = page.tiled ? page.tileHeight : page.rowsPerStrip;
    const bool fax = FaxCoded(page.compression);
    std::vector<std::uint8_t> band(rowBytes * bandRows);
    std::vector<std::uint8_t> tile;
    std::size_t tileRowBytes = 0;
    if (page.tiled) {
        tile.resize(static_cast<std::size_t>(TIFFTileSize64(tif)));
        tileRowBytes = static_cast<std::size_t>(TIFFTileRowSize64(tif));
        if (tile.empty() || tileRowBytes == 0 || tileRowBytes * page.tileHeight > tile.size())
            return IMG_BAD_FILE_FORMAT;
    }
    for (std::uint32_t y0 = 0; y0 < page.height; y0 += bandRows) {
        const std::uint32_t rows = std::min(bandRows, page.height - y0);
        const tmsize_t wanted = static_cast<tmsize_t>(rowBytes * rows);
        if (!page.tiled) {
            const auto read = [&] {
                const tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y0, 0), band.data(), wanted);
                if (got != wanted && got >= 0) log_.error("strip at row " + std::to_string(y0) + " is short");
                return got == wanted;
            };
            if (!ReadUnit(read, band.data(), static_cast<std::size_t>(wanted), fax, (rows - 1) * rowBytes,
                          std::size_t{page.width} * page.samples * page.bits, log_))
                return IMG_BAD_FILE_FORMAT;
        } else {
            for (std::uint32_t x0 = 0; x0 < page.width; x0 += page.tileWidth) {
                const auto read = [&] {
                    const tmsize_t got = TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x0, y0, 0, 0), tile.data(),
                                                             static_cast<tmsize_t>(tile.size()));
                    const bool whole = got >= static_cast<tmsize_t>(tileRowBytes * page.tileHeight);
                    if (!whole && got >= 0)
                        log_.error("tile at " + std::to_string(x0) + "," + std::to_string(y0) + " is short");
                    return whole;
                };
                if (!ReadUnit(read, tile.data(), tile.size(), fax, (page.tileHeight - 1) * tileRowBytes,
                              std::size_t{page.tileWidth} * page.samples * page.bits, log_))
                    return IMG_BAD_FILE_FORMAT;
                const std::size_t left = std::size_t{x0} * page.samples * page.bits / 8;
                const std::size_t bytes = std::min(tileRowBytes, rowBytes - left);
                for (std::uint32_t r = 0; r < rows; ++r)
                    std::memcpy(band.data() + r * rowBytes + left, tile.data() + r * tileRowBytes, bytes);
            }
        }
        if (DamageReported(log_)) return IMG_BAD_FILE_FORMAT;
        for (std::uint32_t r = 0; r < rows; ++r)
            converter.convert(band.data() + r * rowBytes, out->topRow(static_cast<LONG>(y0 + r)));
    }
    return IMG_OK;
}

int TiffReader::decodeGeneric(const Page& page, Dib* out) {
    TIFF* tif = tiff_;
    const std::uint32_t unitWidth = page.tiled ? page.tileWidth : page.width;
    const std::uint32_t unitHeight = page.tiled ? page.tileHeight : page.rowsPerStrip;
    std::vector<std::uint32_t> raster(std::size_t{unitWidth} * unitHeight);
    auto put = [&](std::uint32_t pixel, BYTE* row, std::size_t x) {
        const unsigned a = TIFFGetA(pixel);
        const BYTE r = OverWhite(TIFFGetR(pixel), a, true), g = OverWhite(TIFFGetG(pixel), a, true),
                   b = OverWhite(TIFFGetB(pixel), a, true);
        if (page.outBits == 8) {
            row[x] = g;
        } else {
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    };
    for (std::uint32_t y0 = 0; y0 < page.height; y0 += unitHeight) {
        const std::uint32_t rows = std::min(unitHeight, page.height - y0);
        for (std::uint32_t x0 = 0; x0 < page.width; x0 += unitWidth) {
            const int ok = page.tiled ? TIFFReadRGBATileExt(tif, x0, y0, raster.data(), 1)
                                      : TIFFReadRGBAStripExt(tif, y0, raster.data(), 1);
            if (!ok || DamageReported(log_)) return IMG_BAD_FILE_FORMAT;
            const std::uint32_t cols = std::min(unitWidth, page.width - x0);
            // The raster's first row is the unit's bottom row (of a full tile,
            // or of the rows the strip holds).
            const std::uint32_t stacked = page.tiled ? unitHeight : rows;
            for (std::uint32_t r = 0; r < rows; ++r) {
                const std::uint32_t* in = raster.data() + std::size_t{stacked - 1 - r} * unitWidth;
                BYTE* row = out->topRow(static_cast<LONG>(y0 + r));
                for (std::uint32_t c = 0; c < cols; ++c) put(in[c], row, std::size_t{x0} + c);
            }
        }
    }
    return IMG_OK;
}

}  // namespace imagelib
