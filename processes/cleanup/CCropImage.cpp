// CCropImage: border detection, the cut by margins and border whitening.
#include "processes/cleanup/CCropImage.h"

#include "framework/CZRException.h"
#include "framework/CZRProgressTracker.h"
#include "processes/cleanup/CropFrameFill.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <cmath>

namespace {

int Clamp(long long value, int high) { return static_cast<int>(std::clamp<long long>(value, 0, high)); }

}  // namespace

CCropImage::CCropImage(CZRProgressTracker* progressOwner, IZRImage* image) : progress_(progressOwner), image_(image) {}

CCropImage::~CCropImage() { pixels_.reset(); }

void CCropImage::setMargins(int top, int bottom, int left, int right) {
    top_ = top;
    bottom_ = bottom;
    left_ = left;
    right_ = right;
}

void CCropImage::setModes(int cropBlack, int cropWhite, int invertBlack) {
    cropBlack_ = cropBlack;
    cropWhite_ = cropWhite;
    invertBlack_ = invertBlack;
}

void CCropImage::setSensitivity(int sensitivity) { sensitivity_ = std::max(sensitivity, 0); }

void CCropImage::setBorderFill(int borderFill) { borderFill_ = borderFill; }

int CCropImage::SafetyMargin(int xResolution) {
    if (xResolution <= 0) return 0;
    return static_cast<int>(std::ceil(static_cast<double>(xResolution) * 0.01 * 0.0254));
}

void CCropImage::report(int percent) {
    if (progress_) progress_->reportProgress(percent);
}
void CCropImage::pushRange(int low, int high) {
    if (progress_) progress_->pushRange(low, high);
}
void CCropImage::replaceRange(int low, int high) {
    if (progress_) progress_->replaceRange(low, high);
}
void CCropImage::popRange() {
    if (progress_) progress_->popRange();
}

int CCropImage::run() {
    if (!hasImage()) return kNoImage;
    const bool fill = borderFill_ == kFillFrame;
    if (invertBlack_ == 1) {
        if (bitCount() != 1) return kNotBlackAndWhite;
        if (fill) {
            fillFrame();
        } else {
            whitenBorder(sensitivity_);
        }
        return kDone;
    }
    if (cropWhite_ == 0 && cropBlack_ == 0) {
        if (top_ < 1 && bottom_ < 1 && left_ < 1 && right_ < 1) return kDone;
        cutByMargins();
        return kDone;
    }
    auto detectAndCut = [&] {
        pushRange(10, 20);
        if (detectBorders()) cutByMargins();
        popRange();
    };
    if (cropBlack_ == 1 && fill) {
        // The frame is judged whole, before the cut takes most of it away.
        pushRange(0, 50);
        pushRange(10, 20);
        const bool found = detectBorders();
        popRange();
        replaceRange(50, 90);
        fillFrame();
        replaceRange(90, 100);
        if (found) cutByMargins();
        popRange();
    } else if (cropBlack_ == 1) {
        pushRange(0, 50);
        detectAndCut();
        if (bitCount() == 1) {
            replaceRange(50, 100);
            sensitivity_ = 0;
            whitenBorder(sensitivity_);
        }
        popRange();
    } else {
        detectAndCut();
    }
    report(100);
    return kDone;
}

// One edge: lines 0, 1, ... inward. Along a line, a content pixel extends the
// run and moves on by one; any other pixel ends the run and moves on by two
// (the pixel after it is not read). A line whose longest run exceeds s counts
// towards the s + 1 consecutive lines that mark the content; any other line
// starts the count again. Only whether the longest run exceeds s matters, so a
// line is left as soon as it does.
template <class ContentAt>
int CCropImage::scanEdge(int lines, int length, ContentAt contentAt) const {
    const int s = sensitivity_;
    int consecutive = 0;
    for (int line = 0; line < lines; ++line) {
        int run = 0;
        bool long_enough = false;
        for (int position = 0; position < length;) {
            if (contentAt(line, position)) {
                ++position;
                if (++run > s) {
                    long_enough = true;
                    break;
                }
            } else {
                run = 0;
                position += 2;
            }
        }
        if (!long_enough) {
            consecutive = 0;
        } else if (++consecutive > s) {
            return line;
        }
    }
    return lines;
}

bool CCropImage::detectBorders() {
    // Detection reads pixels: the holder must show the library's own DIB.
    if (!headerIsLibrarys()) refresh(true);
    if (!header()) return false;
    const int g = SafetyMargin(xResolution());
    if (cropWhite_ != 0) cropWhite_ = 1;
    const int w = width();
    const int h = height();
    pixels_.reset();
    pixels_ = std::make_unique<PixelImage>(header());
    if (bitCount() > 1) pixels_->computeAutoThreshold();
    report(0);
    const PixelImage& pixels = *pixels_;
    // Content is black when cropping a white border, white otherwise.
    const bool contentIsWhite = cropWhite_ != 1;
    const int s = sensitivity_;
    auto margin = [&](int line, int size) { return Clamp(static_cast<long long>(line) - s - g, size); };

    int top = 0, bottom = 0, left = 0, right = 0;
    if (bitCount() == 1) {
        // Straight from the rows: bit 7 - x mod 8 of byte x / 8, set = white.
        auto at = [&pixels, contentIsWhite](int x, int y) {
            return (((pixels.row(y)[x >> 3] >> (7 - (x & 7))) & 1) != 0) == contentIsWhite;
        };
        top = margin(scanEdge(h / 2, w, [&](int line, int x) { return at(x, line); }), h);
        replaceRange(20, 30);
        bottom = margin(scanEdge(h / 2, w, [&](int line, int x) { return at(x, h - 1 - line); }), h);
        replaceRange(30, 40);
        left = margin(scanEdge(w / 2, h, [&](int line, int y) { return at(line, y); }), w);
        replaceRange(40, 50);
        right = margin(scanEdge(w / 2, h, [&](int line, int y) { return at(w - 1 - line, y); }), w);
    } else {
        auto at = [&pixels, contentIsWhite](int x, int y) { return pixels.isWhite(x, y) == contentIsWhite; };
        top = margin(scanEdge(h / 2, w, [&](int line, int x) { return at(x, line); }), h);
        replaceRange(20, 30);
        bottom = margin(scanEdge(h / 2, w, [&](int line, int x) { return at(x, h - 1 - line); }), h);
        replaceRange(30, 40);
        left = margin(scanEdge(w / 2, h, [&](int line, int y) { return at(line, y); }), w);
        replaceRange(40, 50);
        right = margin(scanEdge(w / 2, h, [&](int line, int y) { return at(w - 1 - line, y); }), w);
    }
    replaceRange(50, 100);
    if (top <= 0 && bottom <= 0 && left <= 0 && right <= 0) return false;
    setMargins(top, bottom, left, right);
    return true;
}

void CCropImage::cutByMargins() {
    if (!header() || header()->biSize != sizeof(BITMAPINFOHEADER))
        throw CZRException(static_cast<UINT>(IDS_ERROR_ACCESSING_IMAGE));
    report(10);
    const int w = width();
    const int h = height();
    if (static_cast<long long>(left_) + right_ >= static_cast<long long>(w) - 50) left_ = right_ = (w - 100) / 2;
    if (static_cast<long long>(top_) + bottom_ >= static_cast<long long>(h) - 50) top_ = bottom_ = (h - 100) / 2;
    // The wrapped pixels belong to the bitmap the cut replaces.
    pixels_.reset();
    ImageWrapper::crop_bitmap(handle(), left_, top_, right_, bottom_);
    refresh(headerIsLibrarys());
}

int CCropImage::currentHandle() const {
    int handle = handle_;
    if (image_) ThrowIfFailed(image_->GetHandle(&handle));
    return handle;
}

long long CCropImage::fillFrame() {
    report(0);
    const long long frame = CropFrameFill::Whiten(currentHandle());
    if (frame == CropFrameFill::kOutOfMemory) throw CZRException(static_cast<UINT>(IDS_OUT_OF_MEMORY));
    report(100);
    return frame;
}

// Two walks per row, one from each end, step by step together: a black pixel
// turns white and resets the walk's white count; a white pixel ends the walk
// once s white pixels have been crossed since the last black one, else counts.
void CCropImage::whitenBorder(int sensitivity) {
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(currentHandle());
    if (!dib || dib->biBitCount != 1 || dib->biWidth <= 0 || dib->biHeight <= 0) return;
    const int w = dib->biWidth;
    const int h = dib->biHeight;
    const std::size_t stride = static_cast<std::size_t>((w + 31) / 32) * 4;
    std::uint8_t* bits = dib::Bits(dib);
    const int s = sensitivity;
    for (int memoryRow = 0; memoryRow < h; ++memoryRow) {
        if (memoryRow % 300 == 0) report(memoryRow * 100 / std::max(h - 1, 1));
        std::uint8_t* row = bits + static_cast<std::size_t>(memoryRow) * stride;
        bool fromLeft = true, fromRight = true;
        int leftWhite = 0, rightWhite = 0;
        auto visit = [&](int x, bool& walking, int& whiteCount) {
            std::uint8_t& byte = row[x >> 3];
            const auto mask = static_cast<std::uint8_t>(bitMasks_[static_cast<std::size_t>(7 - (x & 7))]);
            if ((byte & mask) == 0) {
                byte = static_cast<std::uint8_t>(byte | mask);
                whiteCount = 0;
            } else if (whiteCount >= s) {
                walking = false;
            } else {
                ++whiteCount;
            }
        };
        for (int step = 0; step < w && (fromLeft || fromRight); ++step) {
            if (fromLeft) visit(step, fromLeft, leftWhite);
            if (fromRight) visit(w - 1 - step, fromRight, rightWhite);
        }
    }
}
