// The page image library: bitmaps named by integer handles, each a packed DIB
// (40-byte header, colour table, bottom-up rows padded to 4 bytes; 1-bit rows
// MSB first with a set bit meaning white, 8-bit grey, 24-bit blue-green-red).
// Whole-image operations are O(pixels) each: quarter turns, small-angle
// rotation of grey and colour pages, black and white copies and inversion
// work on the DIB itself; scaling, cropping, canvas growth, other depth
// changes and 1-bit rotation go through a Leptonica Pix and back.
// The handle table is thread-safe. Replaces a Windows image library.
#pragma once

#include "platform/com/ComTypes.h"

#include <cstddef>
#include <string>
#include <vector>

#if defined(ZR_IMAGEWRAPPER_BUILD)
#define ZR_IMAGEWRAPPER_API __attribute__((visibility("default")))
#else
#define ZR_IMAGEWRAPPER_API
#endif

constexpr DWORD BI_RGB = 0;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

enum ResizeQuality : int {
    RESIZE_QUALITY_FAST = 0,    // nearest sample
    RESIZE_QUALITY_NORMAL = 1,  // linear interpolation
    RESIZE_QUALITY_BEST = 2,    // area mapping / antialiased
};

// Status codes (negative = failure). Callers map these with CheckStatus.
enum ImageStatus : int {
    IMG_OK = 0,
    IMG_OUT_OF_MEMORY = -1,
    IMG_FILE_NOT_FOUND = -2,
    IMG_FILE_READ_ERROR = -3,
    IMG_FILE_SAVE_ERROR = -6,
    IMG_FILE_ACCESS_DENIED = -7,
    IMG_FILE_WRITE_ERROR = -9,
    IMG_BAD_FILE_FORMAT = -12,
    IMG_BAD_HANDLE = -13,
    IMG_BAD_ARGUMENT = -14,
    IMG_INTERNAL_ERROR = -15,
    IMG_UNSUPPORTED_COLOR = -21,
    IMG_PAGE_TOO_LARGE = -22,  // a file's page exceeds the page size limits
};

// Layout helpers shared by every caller that walks DIB memory.
namespace dib {
// Colour table entries: biClrUsed, or 2^bits for depths up to 8 when 0.
ZR_IMAGEWRAPPER_API DWORD ColorTableEntries(const BITMAPINFOHEADER& h);
// Bytes per row: ((bits * width + 31) / 8) with the two low bits cleared.
ZR_IMAGEWRAPPER_API std::size_t Stride(LONG width, WORD bits);
// First byte of the pixel rows (the bottom row of the page).
ZR_IMAGEWRAPPER_API BYTE* Bits(BITMAPINFOHEADER* h);
ZR_IMAGEWRAPPER_API const BYTE* Bits(const BITMAPINFOHEADER* h);
// Total size of the packed DIB: header + colour table + rows.
ZR_IMAGEWRAPPER_API std::size_t PackedSize(const BITMAPINFOHEADER& h);
}  // namespace dib

// Every function is safe to call from several threads; calls on one handle are
// serialised. Statuses: IMG_BAD_HANDLE for a negative, unknown or deleted
// handle; IMG_BAD_ARGUMENT for sizes, margins or angles the call cannot honour
// (the bitmap is then left unchanged); IMG_OUT_OF_MEMORY when a new bitmap
// cannot be allocated. Resolution (dots per inch in biXPelsPerMeter and
// biYPelsPerMeter) is changed only by set_resolution; every other operation
// keeps it.
class ZR_IMAGEWRAPPER_API ImageWrapper {
public:
    // Converts to 1, 8 (grey) or 24 bits in place; other depths give
    // IMG_UNSUPPORTED_COLOR, the current depth is a no-op. To 1 bit, `flag`
    // true chooses the black/white threshold from the page (Otsu's method on
    // its grey histogram), false uses the fixed threshold: grey levels below
    // 128 become black. Colour becomes grey by luminance (0.299/0.587/0.114).
    static int set_bit_depth(int handle, int bits, bool flag);
    static int invert_bitmap(int handle);
    // Cuts the given number of pixels from each side (negative values cut
    // nothing); IMG_BAD_ARGUMENT when nothing would be left.
    static int crop_bitmap(int handle, int left, int top, int right, int bottom);
    static int bitmap_info(int handle, BITMAPINFOHEADER* out);
    static int set_resolution(int handle, int x, int y);
    // Scales to exactly width x height; 1-bit pages stay 1-bit (qualities 1
    // and 2 scale a grey copy and threshold it at 128).
    static int resize_bitmap(int handle, int width, int height, ResizeQuality quality);
    // Positive degrees turn the page clockwise. Multiples of 90 are exact and
    // lossless; other angles turn about the centre on a canvas grown to hold
    // the whole page, filled white; depth and resolution are kept.
    static int rotate_bitmap(int handle, double degrees);
    static void delete_bitmap(int handle);
    // A new all-white bitmap of 1, 8 or 24 bits with resolution 0 (unknown).
    static int create_handle_from_scratch(int width, int height, int bits);
    // Copies a packed BI_RGB DIB of 1, 4, 8, 24 or 32 bits (bottom-up, or
    // top-down with a negative height) into the library's layout: 4-bit and
    // palettised 8-bit pages are looked up in their colour table (8-bit grey
    // or 24-bit colour), 32-bit pages become 24-bit. 1-bit bits are kept as
    // they are (set = white). Headers with biSize other than 40, empty or
    // oversized pages give IMG_BAD_ARGUMENT; compressed or 16-bit pages
    // IMG_UNSUPPORTED_COLOR.
    static int create_handle_from_dib(BITMAPINFOHEADER* dib);
    static BITMAPINFOHEADER* get_raw_dib(int handle);
    // Adds white margins of the given widths; negative widths give
    // IMG_BAD_ARGUMENT.
    static int enlarge_canvas(int handle, int left, int top, int right, int bottom);
};

// Page files for the host (not used by processes): TIFF (multi-page), PNG and
// JPEG, resolution kept in dots per inch.
enum class ImageFileFormat { Unknown, Tiff, Png, Jpeg };

namespace imagefile {
// How a TIFF page's pixels are compressed.
enum class TiffCompression { None, Lzw, Deflate, G4 };

// How PageWriter compresses each kind of page. The defaults are the "fast"
// choice: quick to write at a few percent more bytes than the smallest
// lossless files. Lossless pages (PNG, TIFF) are never written lossy.
struct Compression {
    int pngLevel = 1;                                   // zlib level, 0 (stored) to 9
    bool pngRunLength = true;                           // the Up filter and run-length matching: fast
    TiffCompression tiffBilevel = TiffCompression::G4;  // 1-bit TIFF pages
    TiffCompression tiffTone = TiffCompression::Lzw;    // grey and colour TIFF pages
    int tiffDeflateLevel = 6;                           // deflated TIFF pages, 1 to 9
    int jpegQuality = 0;                                // 1 to 100; 0: the input's (below), else 90
    bool jpegOptimize = false;                          // optimal Huffman tables: smaller, slower
    int inputJpegQuality = 0;                           // the input file's estimated quality, 0 unknown
};

// Reads a --compression value: comma-separated choices, each applying to the
// page kinds it can encode, later ones overriding earlier ones:
//   fast     PNG zlib level 1 (Up filter, run-length), TIFF grey/colour LZW,
//            1-bit G4, JPEG at the input's quality (the default)
//   best     PNG level 9 with adaptive filters, TIFF grey/colour deflate 9,
//            1-bit G4, JPEG at the input's quality with optimal Huffman tables
//   none     PNG stored, TIFF uncompressed (every kind); JPEG unchanged
//   lzw      TIFF pages of every kind LZW
//   deflate[:LEVEL]  TIFF pages of every kind and PNG deflated at LEVEL 1-9 (6)
//   g4       1-bit TIFF pages G4
//   jpeg:Q   JPEG pages at quality Q, 1 to 100
// Whitespace around choices and letter case are ignored. On a bad value returns
// IMG_BAD_ARGUMENT, leaves *out unchanged and names the value in *error.
ZR_IMAGEWRAPPER_API int ParseCompression(const std::string& text, Compression* out, std::string* error);

// Largest page the readers decode, in pixels (each side is also at most
// 65 535). Pages above it fail with IMG_PAGE_TOO_LARGE before anything is
// allocated. 0 restores the default of 400 million. Process-wide.
ZR_IMAGEWRAPPER_API void SetMaxPixels(unsigned long long pixels);
ZR_IMAGEWRAPPER_API unsigned long long MaxPixels();

// Reads a page file one page at a time. open() checks the whole file first
// (for TIFF every page's directory, size, layout and that its data lies
// inside the file), so pageCount() is only known once nothing is missing.
// Errors name the page ("page 3: truncated file (...)") but not the file.
// Statuses: IMG_FILE_NOT_FOUND, IMG_FILE_ACCESS_DENIED, IMG_FILE_READ_ERROR
// (a folder or a special file, never opened), IMG_BAD_FILE_FORMAT (not an
// image, damaged, unsupported), IMG_PAGE_TOO_LARGE, IMG_OUT_OF_MEMORY.
class ZR_IMAGEWRAPPER_API PageReader {
public:
    PageReader();
    ~PageReader();
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    int open(const std::string& path);
    ImageFileFormat format() const;
    int pageCount() const;
    // The quality (1-100) a JPEG file was written at, estimated from its
    // luminance quantisation table; 0 for other formats or unusual tables.
    int jpegQuality() const;
    // Decodes page `index` (0-based) into a new handle the caller owns; any
    // decoder error or warning about the data fails the page.
    int readPage(int index);
    const std::string& error() const;

private:
    struct State;
    State* state_;
};

// Writes a page file one page at a time into a temporary file beside the
// target (created exclusively, never through a link); commit() renames it
// over the target only when every page was written; otherwise, or when the
// writer is destroyed first, the temporary file is removed. Only TIFF holds
// several pages; each page is compressed as `compression` says for its
// format and kind. Errors name the file.
class ZR_IMAGEWRAPPER_API PageWriter {
public:
    PageWriter();
    ~PageWriter();
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    int begin(const std::string& target, ImageFileFormat format, const Compression& compression = Compression{});
    int append(int handle);
    int commit();
    void abandon();
    int pageCount() const;
    const std::string& temporaryPath() const;
    const std::string& error() const;

private:
    struct State;
    State* state_;
};

// True for the names PageWriter gives its temporary files (to find ones left
// by a killed run).
ZR_IMAGEWRAPPER_API bool IsTemporaryFileName(const std::string& fileName);
// Deletes every temporary file a PageWriter has open; safe in a signal handler.
ZR_IMAGEWRAPPER_API void RemoveTemporaryFilesNow();

// Format from the file's first bytes; Unknown when it is none of the three
// (and for folders and special files, which are not opened).
ZR_IMAGEWRAPPER_API ImageFileFormat Sniff(const std::string& path);
// Number of pages after checking the whole file; negative status on failure.
ZR_IMAGEWRAPPER_API int CountPages(const std::string& path, std::string* error = nullptr);
// Loads page `index` (0-based) into a new handle; on failure returns a negative
// status and writes "PATH: cause" to *error when given.
ZR_IMAGEWRAPPER_API int LoadPage(const std::string& path, int index, std::string* error = nullptr);
// Writes the handles as one file of the given format through a PageWriter
// (several pages only for TIFF); `path` appears only when all went well.
ZR_IMAGEWRAPPER_API int SavePages(const std::string& path, const std::vector<int>& handles, ImageFileFormat format,
                                  std::string* error = nullptr, const Compression& compression = Compression{});
}  // namespace imagefile
