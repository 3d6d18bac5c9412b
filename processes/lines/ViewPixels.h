// The white/dark test of line removal in the current view of a page: the
// BoolImage's decision when one is attached (grey and colour pages), else the
// PixelImage's own. One-bit pages are read straight from the DIB rows (the
// same bit the accessor reads, without the indirect call). Everything outside
// the view reads as white. Building it is O(rows); each test is O(1).
#pragma once

#include "image/BoolImage.h"
#include "image/PixelImage.h"

#include <cstdint>
#include <vector>

class ViewPixels {
public:
    ViewPixels() = default;

    // `image` may be null only when `boolImage` is given; both must stay
    // attached, in the view they have now, while this object is used.
    ViewPixels(const PixelImage* image, const BoolImage* boolImage) { attach(image, boolImage); }

    void attach(const PixelImage* image, const BoolImage* boolImage) {
        image_ = image;
        boolImage_ = boolImage;
        rows_.clear();
        kind_ = Kind::None;
        width_ = height_ = 0;
        if (boolImage) {
            kind_ = Kind::Bool;
            width_ = boolImage->width();
            height_ = boolImage->height();
        } else if (image) {
            width_ = image->viewWidth();
            height_ = image->viewHeight();
            if (image->bitCount() == 1) {
                kind_ = image->rotatedView() ? Kind::RotatedBits : Kind::PlainBits;
                const int count = image->rotatedView() ? width_ : height_;
                rows_.resize(static_cast<std::size_t>(count));
                for (int i = 0; i < count; ++i) rows_[static_cast<std::size_t>(i)] = image->row(i);
            } else {
                kind_ = Kind::Pixel;
            }
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }
    bool inside(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(height_);
    }

    // Row y of a plain 1-bit view as the DIB holds it (most significant bit
    // first, a set bit white); null for every other kind of view.
    const std::uint8_t* plainRow(int y) const {
        return kind_ == Kind::PlainBits ? rows_[static_cast<std::size_t>(y)] : nullptr;
    }

    // Dark inside the view; white outside it.
    bool dark(int x, int y) const { return inside(x, y) && darkInside(x, y); }

    // Dark at a position known to lie inside the view.
    bool darkInside(int x, int y) const {
        switch (kind_) {
            case Kind::PlainBits:
                return (rows_[static_cast<std::size_t>(y)][x >> 3] & (0x80u >> (x & 7))) == 0;
            case Kind::RotatedBits:
                return (rows_[static_cast<std::size_t>(x)][y >> 3] & (0x80u >> (y & 7))) == 0;
            case Kind::Bool:
                return !boolImage_->get(x, y);
            case Kind::Pixel:
                return !image_->isWhite(x, y);
            case Kind::None:
                break;
        }
        return false;
    }

private:
    enum class Kind { None, PlainBits, RotatedBits, Bool, Pixel };
    Kind kind_ = Kind::None;
    const PixelImage* image_ = nullptr;
    const BoolImage* boolImage_ = nullptr;
    std::vector<const std::uint8_t*> rows_;
    int width_ = 0;
    int height_ = 0;
};
