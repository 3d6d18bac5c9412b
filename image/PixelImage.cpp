// PixelImage: construction, row and accessor tables, and the automatic white
// threshold. The accessors are instantiated per depth and view so each one is
// a straight row-table lookup plus a byte or bit operation.
#include "image/PixelImage.h"

#include "framework/QNCException.h"
#include "image/CheckStatus.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxSide = 65535;
constexpr int kMinWidth = 8;

[[noreturn]] void ThrowInvalidImage() { throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR); }
[[noreturn]] void ThrowTooSmall() { throw QNCException("Image too small", IDS_INVALID_DIMENSIONS); }

std::uint32_t StrideOf(std::uint32_t width, std::uint32_t bits) {
    return static_cast<std::uint32_t>(((static_cast<std::uint64_t>(bits) * width + 31) / 8) & ~std::uint64_t{3});
}

}  // namespace

// The accessor functions. Plain view: (x, y) is row-table entry y, column x.
// Rotated view: (a, b) is row-table entry a, column b. Range tests compare the
// coordinates as unsigned numbers, so negative ones are outside.
struct PixelImage::Access {
    template <bool Rotated>
    static bool outside(const PixelImage& im, int x, int y) {
        const auto ux = static_cast<unsigned>(x);
        const auto uy = static_cast<unsigned>(y);
        return Rotated ? (ux >= im.height_ || uy >= im.width_) : (ux >= im.width_ || uy >= im.height_);
    }

    template <bool Rotated>
    static std::uint8_t* rowOf(const PixelImage& im, int x, int y) {
        return im.rows_.data()[Rotated ? x : y];
    }

    template <int Bits, bool Rotated>
    static bool white(const PixelImage& im, int x, int y) {
        const std::uint8_t* row = rowOf<Rotated>(im, x, y);
        const int c = Rotated ? y : x;
        if constexpr (Bits == 1) {
            return (row[c >> 3] & (0x80u >> (c & 7))) != 0;
        } else if constexpr (Bits == 8) {
            return row[c] >= im.whiteThreshold_;
        } else {
            const std::uint8_t* p = row + 3 * c;
            return p[0] + p[1] + p[2] >= im.whiteThreshold_;
        }
    }

    template <int Bits, bool Rotated>
    static void read(const PixelImage& im, int x, int y, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
        const std::uint8_t* row = rowOf<Rotated>(im, x, y);
        const int c = Rotated ? y : x;
        if constexpr (Bits == 1) {
            red = green = blue = (row[c >> 3] & (0x80u >> (c & 7))) ? 255 : 0;
        } else if constexpr (Bits == 8) {
            red = green = blue = row[c];
        } else {
            const std::uint8_t* p = row + 3 * c;
            blue = p[0];
            green = p[1];
            red = p[2];
        }
    }

    template <int Bits, bool Rotated>
    static void write(PixelImage& im, int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        std::uint8_t* row = rowOf<Rotated>(im, x, y);
        const int c = Rotated ? y : x;
        if constexpr (Bits == 1) {
            const auto mask = static_cast<std::uint8_t>(0x80u >> (c & 7));
            if (red) {
                row[c >> 3] |= mask;
            } else {
                row[c >> 3] &= static_cast<std::uint8_t>(~mask);
            }
        } else if constexpr (Bits == 8) {
            row[c] = red;
        } else {
            std::uint8_t* p = row + 3 * c;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }

    template <int Bits, bool Rotated>
    static bool isWhiteChecked(const PixelImage& im, int x, int y) {
        return outside<Rotated>(im, x, y) || white<Bits, Rotated>(im, x, y);
    }
    template <int Bits, bool Rotated>
    static void getPixelChecked(const PixelImage& im, int x, int y, std::uint8_t& red, std::uint8_t& green,
                                std::uint8_t& blue) {
        if (outside<Rotated>(im, x, y)) {
            red = green = blue = 255;
            return;
        }
        read<Bits, Rotated>(im, x, y, red, green, blue);
    }
    template <int Bits, bool Rotated>
    static void setPixelChecked(PixelImage& im, int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        if (!outside<Rotated>(im, x, y)) write<Bits, Rotated>(im, x, y, red, green, blue);
    }

    template <int Bits, bool Rotated>
    static bool isWhiteAt(const PixelImage& im) {
        return white<Bits, Rotated>(im, im.cursor_->x, im.cursor_->y);
    }
    template <int Bits, bool Rotated>
    static void getPixelAt(const PixelImage& im) {
        PixelCursor& c = *im.cursor_;
        read<Bits, Rotated>(im, c.x, c.y, c.red, c.green, c.blue);
    }
    template <int Bits, bool Rotated>
    static bool isWhiteAtChecked(const PixelImage& im) {
        return isWhiteChecked<Bits, Rotated>(im, im.cursor_->x, im.cursor_->y);
    }
    template <int Bits, bool Rotated>
    static void getPixelAtChecked(const PixelImage& im) {
        PixelCursor& c = *im.cursor_;
        getPixelChecked<Bits, Rotated>(im, c.x, c.y, c.red, c.green, c.blue);
    }
    template <int Bits, bool Rotated>
    static void setPixelAt(PixelImage& im) {
        const PixelCursor& c = *im.cursor_;
        write<Bits, Rotated>(im, c.x, c.y, c.red, c.green, c.blue);
    }
    template <int Bits, bool Rotated>
    static void setPixelAtChecked(PixelImage& im) {
        const PixelCursor& c = *im.cursor_;
        setPixelChecked<Bits, Rotated>(im, c.x, c.y, c.red, c.green, c.blue);
    }

    template <int Bits, bool Rotated>
    static constexpr PixelAccessorTable kTable{
        &white<Bits, Rotated>,
        &read<Bits, Rotated>,
        &isWhiteChecked<Bits, Rotated>,
        &getPixelChecked<Bits, Rotated>,
        &write<Bits, Rotated>,
        &setPixelChecked<Bits, Rotated>,
        &isWhiteAt<Bits, Rotated>,
        &getPixelAt<Bits, Rotated>,
        &isWhiteAtChecked<Bits, Rotated>,
        &getPixelAtChecked<Bits, Rotated>,
        &setPixelAt<Bits, Rotated>,
        &setPixelAtChecked<Bits, Rotated>,
    };

    // Depths without accessors: every slot fails with the message of its kind.
    [[noreturn]] static void failIsWhite() { throw QNCException("isWhite(): Invalid function", 0); }
    [[noreturn]] static void failGetPixel() { throw QNCException("getPixel(): Invalid function", 0); }
    [[noreturn]] static void failSetPixel() { throw QNCException("setPixel(): Invalid function", 0); }
    static bool badIsWhite(const PixelImage&, int, int) { failIsWhite(); }
    static void badGetPixel(const PixelImage&, int, int, std::uint8_t&, std::uint8_t&, std::uint8_t&) {
        failGetPixel();
    }
    static void badSetPixel(PixelImage&, int, int, std::uint8_t, std::uint8_t, std::uint8_t) { failSetPixel(); }
    static bool badIsWhiteAt(const PixelImage&) { failIsWhite(); }
    static void badGetPixelAt(const PixelImage&) { failGetPixel(); }
    static void badSetPixelAt(PixelImage&) { failSetPixel(); }

    static constexpr PixelAccessorTable kInvalid{
        &badIsWhite,   &badGetPixel,   &badIsWhite,   &badGetPixel,   &badSetPixel,   &badSetPixel,
        &badIsWhiteAt, &badGetPixelAt, &badIsWhiteAt, &badGetPixelAt, &badSetPixelAt, &badSetPixelAt,
    };
};

PixelImage::PixelImage(BITMAPINFOHEADER* header) {
    if (!header || header->biSize != sizeof(BITMAPINFOHEADER)) ThrowInvalidImage();
    // Pages are at most 65535 pixels each way and stored bottom-up.
    if (header->biWidth < 0 || header->biWidth > kMaxSide || header->biHeight < 0 || header->biHeight > kMaxSide) {
        ThrowInvalidImage();
    }
    if (header->biWidth < kMinWidth || header->biHeight == 0) ThrowTooSmall();
    header_ = header;
    computeLayout();
    buildAccessorTable();
    buildRowTable();
    setDefaultThreshold();
}

PixelImage::PixelImage(int width, int height, int bitCount, bool fillWhite) {
    if (width < kMinWidth || height < 1) ThrowTooSmall();
    if (width > kMaxSide || height > kMaxSide) ThrowInvalidImage();
    const int handle = ImageWrapper::create_handle_from_scratch(width, height, bitCount);
    CheckStatus(handle);
    attachOwned(handle);
    if (fillWhite) std::memset(bits_, 0xFF, static_cast<std::size_t>(stride_) * height_);
}

PixelImage::PixelImage(const PixelImage& other) {
    const int handle = ImageWrapper::create_handle_from_dib(other.header_);
    CheckStatus(handle);
    attachOwned(handle);
}

PixelImage::PixelImage(PixelImage&& other) noexcept
    : table_(other.table_),
      width_(other.width_),
      height_(other.height_),
      bitCount_(other.bitCount_),
      whiteThreshold_(other.whiteThreshold_),
      xResolution_(other.xResolution_),
      yResolution_(other.yResolution_),
      handle_(other.handle_),
      stride_(other.stride_),
      bits_(other.bits_),
      header_(other.header_),
      rotatedView_(other.rotatedView_),
      cursor_(other.cursor_),
      rows_(std::move(other.rows_)),
      name_(std::move(other.name_)) {
    // The moved-from object is empty: no bitmap, no rows, failing accessors.
    other.table_ = Access::kInvalid;
    other.width_ = other.height_ = 0;
    other.handle_ = -1;
    other.bits_ = nullptr;
    other.header_ = nullptr;
    other.cursor_ = nullptr;
    other.rows_.clear();
}

PixelImage::~PixelImage() {
    if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
}

void PixelImage::attachOwned(int handle) {
    handle_ = handle;
    try {
        header_ = ImageWrapper::get_raw_dib(handle);
        if (!header_) ThrowInvalidImage();
        header_->biCompression = 0;
        computeLayout();
        buildAccessorTable();
        buildRowTable();
        setDefaultThreshold();
    } catch (...) {
        // A constructor that fails runs no destructor: free the bitmap here.
        ImageWrapper::delete_bitmap(handle);
        handle_ = -1;
        throw;
    }
}

void PixelImage::computeLayout() {
    width_ = static_cast<std::uint16_t>(header_->biWidth);
    height_ = static_cast<std::uint16_t>(header_->biHeight);
    bitCount_ = header_->biBitCount;
    stride_ = StrideOf(width_, bitCount_);
    bits_ =
        reinterpret_cast<std::uint8_t*>(header_) + header_->biSize + 4 * std::size_t{dib::ColorTableEntries(*header_)};
    xResolution_ = header_->biXPelsPerMeter;
    yResolution_ = header_->biYPelsPerMeter;
}

void PixelImage::buildRowTable() {
    rows_.resize(height_);
    for (std::size_t i = 0; i < height_; ++i) {
        const std::size_t stored = rotatedView_ ? i : height_ - 1 - i;
        rows_[i] = bits_ + stored * stride_;
    }
}

void PixelImage::buildAccessorTable() {
    const bool r = rotatedView_ != 0;
    switch (bitCount_) {
        case 1:
            table_ = r ? Access::kTable<1, true> : Access::kTable<1, false>;
            break;
        case 8:
            table_ = r ? Access::kTable<8, true> : Access::kTable<8, false>;
            break;
        case 24:
            table_ = r ? Access::kTable<24, true> : Access::kTable<24, false>;
            break;
        default:
            table_ = Access::kInvalid;
            break;
    }
}

void PixelImage::setDefaultThreshold() { whiteThreshold_ = bitCount_ == 24 ? 3 * 128 : 128; }

void PixelImage::setRotatedView(bool rotated) {
    rotatedView_ = rotated ? 1 : 0;
    buildRowTable();
    buildAccessorTable();
}

void PixelImage::setCursorWhite() {
    const int x = cursor_->x;
    rows_[cursor_->y][x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
}

void PixelImage::setCursorBlack() {
    const int x = cursor_->x;
    rows_[cursor_->y][x >> 3] &= static_cast<std::uint8_t>(~(0x80u >> (x & 7)));
}

void PixelImage::sampleHistogram(Histogram& counts) {
    counts.fill(0);
    const int w = viewWidth();
    const int h = viewHeight();
    const int mx = static_cast<int>(w * 0.02);
    const int my = static_cast<int>(h * 0.02);
    const int startX = std::max(mx, 12);
    const int startY = std::max(my, 12);
    if (w < 3 * startX || h < 3 * startY) ThrowTooSmall();
    const int endX = w - std::max(mx, 14);
    const int endY = h - std::max(my, 14);

    PixelCursor sample;
    cursor_ = &sample;
    try {
        unsigned k = 0;
        for (int y = startY; y < endY; y += 12) {
            ++k;
            for (int x = startX; x < endX; x += 12) {
                const unsigned j = k % 13;
                sample.x = static_cast<std::uint16_t>(x + static_cast<int>(j));
                sample.y = static_cast<std::uint16_t>(y + static_cast<int>(j));
                table_.getPixelAt(*this);
                ++k;
                const unsigned bin = bitCount_ <= 8 ? sample.red : (sample.blue + sample.green + sample.red) / 3u;
                ++counts[bin];
            }
        }
    } catch (...) {
        cursor_ = nullptr;
        throw;
    }
    cursor_ = nullptr;
}

int PixelImage::thresholdFromHistogram(const Histogram& counts) {
    int p = 0;
    for (int v = 1; v < 256; ++v) {
        if (counts[v] > counts[p]) p = v;
    }
    // Second peak: the local maximum at least 20 levels from p with the largest
    // count^2 * distance^2. Compared as count * distance (same order) in 64
    // bits: the square overflows 32 bits on ordinary pages.
    int q = -1;
    std::uint64_t best = 0;
    for (int v = 1; v <= 254; ++v) {
        const int distance = v > p ? v - p : p - v;
        if (distance < 20) continue;
        if (!(counts[v - 1] < counts[v] && counts[v + 1] <= counts[v])) continue;
        const std::uint64_t score = std::uint64_t{counts[v]} * static_cast<std::uint64_t>(distance);
        if (q < 0 || score > best) {
            q = v;
            best = score;
        }
    }
    if (q < 0) q = p >= 129 ? p - 20 : p + 20;
    return std::min((p + q) / 2 + 10, 254);
}

void PixelImage::computeAutoThreshold() {
    Histogram counts;
    sampleHistogram(counts);
    const int t = thresholdFromHistogram(counts);
    whiteThreshold_ = bitCount_ == 24 ? 3 * t : t;
}

int PixelImage::releaseHandle() {
    const int handle = handle_;
    handle_ = -1;
    return handle;
}

int PixelImage::makeHandle() {
    if (handle_ >= 0) return releaseHandle();
    const int handle = ImageWrapper::create_handle_from_dib(header_);
    CheckStatus(handle);
    return handle;
}
