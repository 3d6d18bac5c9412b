// CSnowImage: attach, detach and header loading of one library bitmap. O(1),
// plus one library depth conversion for pages that are not 1, 8 or 24 bits.
#include "image/CSnowImage.h"

#include "framework/CZRException.h"
#include "image/CheckStatus.h"
#include "resources/MessageIds.h"

#include <memory>

namespace {

bool SupportedDepth(std::uint32_t bits) { return bits == 1 || bits == 8 || bits == 24; }

}  // namespace

CSnowImage::~CSnowImage() {
    if (ownsHandle_ && handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
    freePrivateHeader();
}

void CSnowImage::clearFlag() { flag_ = 0; }

void CSnowImage::updatePointers() {
    // A private copy is the bare 40-byte header: no colour table, no rows.
    if (!header_ || !headerIsLibrarys_) {
        bits_ = nullptr;
        palette_ = nullptr;
        return;
    }
    auto* base = reinterpret_cast<std::uint8_t*>(header_);
    palette_ = bitCount_ == 24 ? nullptr : reinterpret_cast<RGBQUAD*>(base + sizeof(BITMAPINFOHEADER));
    // The colour table is 2 entries for 1 bit and 256 for 8 bits unless the
    // header says otherwise in biClrUsed; rows follow it.
    bits_ = base + header_->biSize + 4 * dib::ColorTableEntries(*header_);
}

void CSnowImage::attach(int handle, bool rawDib) {
    if (ownsHandle_ && handle_ >= 0 && handle_ != handle) {
        ImageWrapper::delete_bitmap(handle_);
        handle_ = -1;
        ownsHandle_ = 0;
        refresh(false);
    }
    handle_ = handle;
    ownsHandle_ = 1;
    refresh(rawDib);
}

int CSnowImage::detach() {
    const int handle = handle_;
    handle_ = -1;
    ownsHandle_ = 0;
    refresh(false);
    return handle;
}

void CSnowImage::refresh(bool rawDib) {
    if (loadHeader(rawDib)) return;
    // Another depth: the library converts the bitmap to 24 bits in place and
    // the holder shows it again in the form asked for. A conversion that
    // leaves an unsupported depth behind is refused rather than retried.
    CheckStatus(ImageWrapper::set_bit_depth(handle_, 24, false));
    if (!loadHeader(rawDib)) throw CZRException(IDS_UNSUPPORTED_COLOR);
}

bool CSnowImage::loadHeader(bool rawDib) {
    freePrivateHeader();
    header_ = nullptr;
    if (handle_ < 0) {
        ownsHandle_ = 0;
        headerIsLibrarys_ = 0;
        width_ = height_ = 0;
        bitCount_ = 0;
        bits_ = nullptr;
        palette_ = nullptr;
        return true;
    }
    bits_ = nullptr;
    palette_ = nullptr;
    width_ = height_ = 0;
    bitCount_ = 0;
    if (rawDib) {
        BITMAPINFOHEADER* raw = ImageWrapper::get_raw_dib(handle_);
        if (!raw) CheckStatus(IMG_BAD_HANDLE);
        header_ = raw;
        headerIsLibrarys_ = 1;
    } else {
        std::unique_ptr<BITMAPINFOHEADER> copy(new BITMAPINFOHEADER{});
        CheckStatus(ImageWrapper::bitmap_info(handle_, copy.get()));
        header_ = copy.release();
        headerIsLibrarys_ = 0;
    }
    width_ = header_->biWidth;
    height_ = header_->biHeight;
    bitCount_ = header_->biBitCount;
    if (!SupportedDepth(bitCount_)) return false;
    updatePointers();
    return true;
}

void CSnowImage::freePrivateHeader() {
    if (header_ && !headerIsLibrarys_) {
        delete header_;
        header_ = nullptr;
    }
}

int CSnowImage::stride() const {
    const long long bits = static_cast<long long>(bitCount_) * (width_ > 0 ? width_ : 0);
    return static_cast<int>(((bits + 31) / 8) & ~3LL);
}
