// The page image library: bitmaps named by integer handles, each a packed DIB
// (40-byte header, colour table, bottom-up rows padded to 4 bytes; 1-bit rows
// MSB first with a set bit meaning white, 8-bit grey, 24-bit blue-green-red).
// Whole-image operations (rotate, scale, crop, canvas, depth, invert) convert to
// a Leptonica Pix and back: O(pixels) each. The handle table is thread-safe.
// Replaces the closed Windows image library of the same name.
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

class ZR_IMAGEWRAPPER_API ImageWrapper {
public:
    static int set_bit_depth(int handle, int bits, bool flag);
    static int invert_bitmap(int handle);
    static int crop_bitmap(int handle, int left, int top, int right, int bottom);
    static int bitmap_info(int handle, BITMAPINFOHEADER* out);
    static int set_resolution(int handle, int x, int y);
    static int resize_bitmap(int handle, int width, int height, ResizeQuality quality);
    static int rotate_bitmap(int handle, double degrees);
    static void delete_bitmap(int handle);
    static int create_handle_from_scratch(int width, int height, int bits);
    static int create_handle_from_dib(BITMAPINFOHEADER* dib);
    static BITMAPINFOHEADER* get_raw_dib(int handle);
    static int enlarge_canvas(int handle, int left, int top, int right, int bottom);
};

// Page files for the host (not used by processes): TIFF (multi-page, G4 for
// 1-bit), PNG and JPEG, resolution kept in dots per inch.
enum class ImageFileFormat { Unknown, Tiff, Png, Jpeg };

namespace imagefile {
// Format from the file's first bytes; Unknown when it is none of the three.
ZR_IMAGEWRAPPER_API ImageFileFormat Sniff(const std::string& path);
// Number of pages in the file (TIFF may hold many); negative status on failure.
ZR_IMAGEWRAPPER_API int CountPages(const std::string& path);
// Loads page `index` (0-based) into a new handle; on failure returns a negative
// status and writes a one-line cause to *error when given.
ZR_IMAGEWRAPPER_API int LoadPage(const std::string& path, int index, std::string* error = nullptr);
// Writes the handles as one file of the given format (several pages only for
// TIFF; 1-bit TIFF pages use G4). Writes exactly `path`; callers rename.
ZR_IMAGEWRAPPER_API int SavePages(const std::string& path, const std::vector<int>& handles, ImageFileFormat format,
                                  std::string* error = nullptr);
}  // namespace imagefile
