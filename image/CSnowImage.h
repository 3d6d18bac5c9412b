// Holder of one library bitmap handle: attaches a page's handle, loads its
// header (the library's own or a private 40-byte copy), converts depths other
// than 1, 8 and 24 bits to 24 bits, and answers size, depth, stride and
// resolution. Base of the per-process image classes. O(1) per call apart from
// a depth conversion (O(pixels), done by the library).
#pragma once

#include "platform/imagelib/ImageWrapper.h"

#include <cstdint>

class CSnowImage {
public:
    CSnowImage() = default;
    // Deletes the bitmap if a handle is still attached (processes detach a
    // page's handle before the holder dies), then frees a private header copy.
    virtual ~CSnowImage();
    CSnowImage(const CSnowImage&) = delete;
    CSnowImage& operator=(const CSnowImage&) = delete;

    // Slot 0: clears the one-byte state flag.
    virtual void clearFlag();
    // Slot 1: recomputes the bits and palette pointers from the header.
    virtual void updatePointers();

    // Takes `handle` (deleting a different bitmap held before) and loads its
    // header: the library's raw DIB when rawDib, else a private copy.
    void attach(int handle, bool rawDib);
    // Gives the handle back without deleting the bitmap and empties the holder.
    int detach();
    // Reloads the header of the attached handle; converts to 24 bits when the
    // depth is not 1, 8 or 24. Must follow any library call that changes the
    // bitmap's size or depth before the header is read again.
    void refresh(bool rawDib);

    bool hasImage() const { return handle_ >= 0; }
    int handle() const { return handle_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bitCount() const { return static_cast<int>(bitCount_); }
    // Bytes per stored row: ((bits * width + 31) / 8) with the two low bits clear.
    int stride() const;
    int xResolution() const { return header_ ? header_->biXPelsPerMeter : 0; }
    int yResolution() const { return header_ ? header_->biYPelsPerMeter : 0; }
    std::uint8_t flag() const { return flag_; }
    bool ownsHandle() const { return ownsHandle_ != 0; }
    bool headerIsLibrarys() const { return headerIsLibrarys_ != 0; }

    BITMAPINFOHEADER* header() const { return header_; }
    // First stored (bottom) row; null when the header is a private copy.
    std::uint8_t* bits() const { return bits_; }
    // Colour table; null for 24-bit pages and for private header copies.
    RGBQUAD* palette() const { return palette_; }

protected:
    std::uint8_t flag_ = 0;
    std::uint8_t ownsHandle_ = 0;
    std::uint8_t headerIsLibrarys_ = 0;
    std::int32_t handle_ = -1;
    BITMAPINFOHEADER* header_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    RGBQUAD* palette_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::uint32_t bitCount_ = 0;

private:
    void freePrivateHeader();
    // Loads the header of the attached handle; false when its depth is unsupported.
    bool loadHeader(bool rawDib);
};
