// A page's image: the image library handle of its bitmap, its file, type
// code and modified flag. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRImage = MakeGuid("{F7237A92-0CFA-45D4-BFF6-F767927993EE}");

struct IZRImage : IDispatch {
    static constexpr const IID& iid() { return IID_IZRImage; }
    virtual HRESULT GetWidth(LONG* width) = 0;               // 7
    virtual HRESULT GetHeight(LONG* height) = 0;             // 8
    virtual HRESULT GetBitDepth(LONG* bits) = 0;             // 9
    virtual HRESULT GetHandle(int* handle) = 0;              // 10
    virtual HRESULT SetHandle(int handle) = 0;               // 11
    virtual HRESULT SetImageType(LONG type) = 0;             // 12
    virtual HRESULT GetImageType(LONG* type) = 0;            // 13
    virtual HRESULT GetFilePath(BSTR* path) = 0;             // 14
    virtual HRESULT SetFilePath(BSTR path) = 0;              // 15
    virtual HRESULT GetXResolution(LONG* dpi) = 0;           // 16
    virtual HRESULT GetYResolution(LONG* dpi) = 0;           // 17
    virtual HRESULT IsModified(VARIANT_BOOL* modified) = 0;  // 18
    virtual HRESULT SetModified(VARIANT_BOOL modified) = 0;  // 19
    virtual HRESULT Refresh() = 0;                           // 20

protected:
    ~IZRImage() = default;
};
