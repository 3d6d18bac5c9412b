// Page image object.
#include "host/CZRImage.h"

#include "platform/imagelib/ImageWrapper.h"

CZRImage::~CZRImage() {
    if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
}

void CZRImage::Attach(int handle, const std::string& filePath) {
    if (handle_ >= 0 && handle_ != handle) ImageWrapper::delete_bitmap(handle_);
    handle_ = handle;
    filePath_ = filePath;
}

HRESULT CZRImage::HeaderField(LONG* out, LONG (*pick)(const void*)) {
    if (!out) return E_POINTER;
    BITMAPINFOHEADER header{};
    if (handle_ < 0 || ImageWrapper::bitmap_info(handle_, &header) < 0) return E_HANDLE;
    *out = pick(&header);
    return S_OK;
}

HRESULT CZRImage::GetWidth(LONG* width) {
    return HeaderField(width, [](const void* h) { return static_cast<const BITMAPINFOHEADER*>(h)->biWidth; });
}
HRESULT CZRImage::GetHeight(LONG* height) {
    return HeaderField(height, [](const void* h) { return static_cast<const BITMAPINFOHEADER*>(h)->biHeight; });
}
HRESULT CZRImage::GetBitDepth(LONG* bits) {
    return HeaderField(
        bits, [](const void* h) { return static_cast<LONG>(static_cast<const BITMAPINFOHEADER*>(h)->biBitCount); });
}
HRESULT CZRImage::GetXResolution(LONG* dpi) {
    return HeaderField(dpi, [](const void* h) { return static_cast<const BITMAPINFOHEADER*>(h)->biXPelsPerMeter; });
}
HRESULT CZRImage::GetYResolution(LONG* dpi) {
    return HeaderField(dpi, [](const void* h) { return static_cast<const BITMAPINFOHEADER*>(h)->biYPelsPerMeter; });
}

HRESULT CZRImage::GetHandle(int* handle) {
    if (!handle) return E_POINTER;
    *handle = handle_;
    return S_OK;
}

HRESULT CZRImage::SetHandle(int handle) {
    if (handle != handle_) {
        if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
        handle_ = handle;
    }
    modified_ = true;
    return S_OK;
}

HRESULT CZRImage::SetImageType(LONG type) {
    type_ = type;
    return S_OK;
}

HRESULT CZRImage::GetImageType(LONG* type) {
    if (!type) return E_POINTER;
    *type = type_;
    return S_OK;
}

HRESULT CZRImage::GetFilePath(BSTR* path) {
    if (!path) return E_POINTER;
    *path = Utf8ToBstr(filePath_);
    return S_OK;
}

HRESULT CZRImage::SetFilePath(BSTR path) {
    filePath_ = BstrToUtf8(path);
    return S_OK;
}

HRESULT CZRImage::IsModified(VARIANT_BOOL* modified) {
    if (!modified) return E_POINTER;
    *modified = modified_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRImage::SetModified(VARIANT_BOOL modified) {
    modified_ = modified != VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRImage::Refresh() {
    modified_ = true;
    return S_OK;
}
