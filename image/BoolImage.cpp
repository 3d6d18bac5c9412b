// BoolImage: thresholding a PixelImage into packed bits, the accessor tables
// of both views and the quarter turns of the stored bits.
#include "image/BoolImage.h"

#include "framework/QNCException.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <new>

// Plain view: (x, y) is bit topDown[y] + x. Rotated view: (a, b) is bit
// bottomUp[a] + b, i.e. stored pixel (b, height - 1 - a). Range tests compare
// the coordinates as unsigned numbers, so negative ones are outside.
struct BoolImage::Access {
    template <bool Rotated>
    static std::uint32_t index(const BoolImage& im, int x, int y) {
        return Rotated ? im.bottomUp_.data()[x] + static_cast<std::uint32_t>(y)
                       : im.topDown_.data()[y] + static_cast<std::uint32_t>(x);
    }
    template <bool Rotated>
    static bool outside(const BoolImage& im, int x, int y) {
        const auto ux = static_cast<unsigned>(x);
        const auto uy = static_cast<unsigned>(y);
        return Rotated ? (ux >= im.height16_ || uy >= im.width16_) : (ux >= im.width16_ || uy >= im.height16_);
    }

    template <bool Rotated>
    static bool get(const BoolImage& im, int x, int y) {
        return im.bits_->get(index<Rotated>(im, x, y));
    }
    template <bool Rotated>
    static bool getAt(const BoolImage& im) {
        return get<Rotated>(im, im.cursor_->x, im.cursor_->y);
    }
    template <bool Rotated>
    static bool getChecked(const BoolImage& im, int x, int y) {
        return outside<Rotated>(im, x, y) || get<Rotated>(im, x, y);
    }
    template <bool Rotated>
    static bool getAtChecked(const BoolImage& im) {
        return getChecked<Rotated>(im, im.cursor_->x, im.cursor_->y);
    }
    template <bool Rotated>
    static void set(BoolImage& im, int x, int y, int value) {
        im.bits_->set(index<Rotated>(im, x, y), value != 0);
    }
    template <bool Rotated>
    static void setAt(BoolImage& im) {
        set<Rotated>(im, im.cursor_->x, im.cursor_->y, im.cursor_->bit);
    }
    template <bool Rotated>
    static void setChecked(BoolImage& im, int x, int y, int value) {
        if (!outside<Rotated>(im, x, y)) set<Rotated>(im, x, y, value);
    }

    template <bool Rotated>
    static constexpr BoolAccessorTable kTable{
        &get<Rotated>,   &getAt<Rotated>, &getChecked<Rotated>, &getAtChecked<Rotated>,
        &setAt<Rotated>, &set<Rotated>,   &setChecked<Rotated>,
    };
};

namespace {}  // namespace

BoolImage::BoolImage(PixelImage* source, int thresholdMode) {
    cursor_ = nullptr;
    rotatedView_ = 0;
    if (!source) throw QNCException("No image", 0);
    name_ = source->name().substr(0, kMaxNameLength);
    width_ = static_cast<std::uint32_t>(source->viewWidth());
    height_ = static_cast<std::uint32_t>(source->viewHeight());
    pixelCount_ = width_ * height_;
    xResolution_ = source->xResolution();
    yResolution_ = source->yResolution();
    buildRowTables();
    if (pixelCount_ < 1) throw QNCException("BoolImage: Invalid image size", IDS_INVALID_DIMENSIONS);

    bits_.reset(new (std::nothrow) BoolArray(pixelCount_));
    if (!bits_) throw QNCException("BoolImage: Out of memory", IDS_OUT_OF_MEMORY);
    bits_->fill(true);
    flag_ = 1;

    if (source->bitCount() >= 8) {
        if (thresholdMode == 1) {
            source->computeAutoThreshold();
        } else if (thresholdMode == 2) {
            throw QNCException("Not implemented", 0);
        }
    }

    PixelCursor scan;
    scan.red = scan.green = scan.blue = 255;
    scan.x = scan.y = 0;
    scan.bit = 1;
    {
        CursorScope restore(*source, &scan);
        const PixelAccessorTable& table = source->accessors();
        for (std::uint16_t y = 0; y < height_; ++y) {
            scan.y = y;
            const std::uint32_t rowStart = topDown_[y];
            for (std::uint16_t x = 0; x < width_; ++x) {
                scan.x = x;
                bits_->set(rowStart + x, table.isWhiteAt(*source));
            }
        }
    }
    buildAccessorTable();
}

BoolImage::~BoolImage() = default;

int BoolImage::width() const { return static_cast<int>(rotatedView_ ? height_ : width_); }
int BoolImage::height() const { return static_cast<int>(rotatedView_ ? width_ : height_); }

void BoolImage::setFlag(std::uint8_t flag) { flag_ = flag; }

void BoolImage::setCursor(PixelCursor* cursor) { cursor_ = cursor; }

void BoolImage::setRotatedView(bool rotated) {
    rotatedView_ = rotated ? 1 : 0;
    buildAccessorTable();
}

void BoolImage::rotate(int quarterTurns) {
    if (quarterTurns < 0 || quarterTurns > 3) throw QNCException("Invalid rotation", 0);
    if (quarterTurns == 0) return;
    const std::uint32_t w = width_;
    const std::uint32_t h = height_;
    const std::uint32_t newWidth = quarterTurns == 2 ? w : h;
    const std::uint32_t newHeight = quarterTurns == 2 ? h : w;

    std::unique_ptr<BoolArray> turned(new (std::nothrow) BoolArray(pixelCount_));
    if (!turned) throw QNCException("BoolImage: Out of memory", IDS_OUT_OF_MEMORY);
    // Every pixel bit is written below; the spare bits of the last byte stay
    // white as after construction.
    turned->bytes()[turned->byteCount() - 1] = 0xFF;

    const BoolArray& old = *bits_;
    std::uint32_t target = 0;
    for (std::uint32_t y = 0; y < newHeight; ++y) {
        for (std::uint32_t x = 0; x < newWidth; ++x, ++target) {
            std::uint32_t oldX = 0;
            std::uint32_t oldY = 0;
            switch (quarterTurns) {
                case 1:
                    oldX = y;
                    oldY = h - 1 - x;
                    break;
                case 2:
                    oldX = w - 1 - x;
                    oldY = h - 1 - y;
                    break;
                default:
                    oldX = w - 1 - y;
                    oldY = x;
                    break;
            }
            turned->set(target, old.get(oldY * w + oldX));
        }
    }

    bits_->release();
    bits_ = std::move(turned);
    width_ = newWidth;
    height_ = newHeight;
    buildRowTables();
}

void BoolImage::buildRowTables() {
    width16_ = static_cast<std::uint16_t>(width_);
    height16_ = static_cast<std::uint16_t>(height_);
    rowLength_ = static_cast<std::int32_t>(width_);
    rowCount_ = static_cast<std::int32_t>(height_);
    pixelCount_ = width_ * height_;
    bitTotal_ = static_cast<std::int32_t>(pixelCount_);
    topDown_.resize(height_);
    bottomUp_.resize(height_);
    for (std::uint32_t i = 0; i < height_; ++i) {
        topDown_[i] = i * width_;
        bottomUp_[i] = (height_ - 1 - i) * width_;
    }
}

void BoolImage::buildAccessorTable() { table_ = rotatedView_ ? Access::kTable<true> : Access::kTable<false>; }
