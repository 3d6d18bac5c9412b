// A page's image: owns one image library handle (a replaced handle is
// deleted), remembers the file it came from, its type code and whether a
// process changed it. O(1).
#pragma once

#include "host/HostObject.h"
#include "host/interfaces/IZRImage.h"

#include <string>

class ZR_HOST_API CZRImage : public HostObject<IZRImage> {
public:
    ~CZRImage();
    // Takes ownership of `handle`.
    void Attach(int handle, const std::string& filePath);
    int Handle() const { return handle_; }
    bool Modified() const { return modified_; }

    HRESULT GetWidth(LONG* width) override;
    HRESULT GetHeight(LONG* height) override;
    HRESULT GetBitDepth(LONG* bits) override;
    HRESULT GetHandle(int* handle) override;
    HRESULT SetHandle(int handle) override;
    HRESULT SetImageType(LONG type) override;
    HRESULT GetImageType(LONG* type) override;
    HRESULT GetFilePath(BSTR* path) override;
    HRESULT SetFilePath(BSTR path) override;
    HRESULT GetXResolution(LONG* dpi) override;
    HRESULT GetYResolution(LONG* dpi) override;
    HRESULT IsModified(VARIANT_BOOL* modified) override;
    HRESULT SetModified(VARIANT_BOOL modified) override;
    HRESULT Refresh() override;

private:
    HRESULT HeaderField(LONG* out, LONG (*pick)(const void* header));
    int handle_ = -1;
    LONG type_ = 0;
    bool modified_ = false;
    std::string filePath_;
};
