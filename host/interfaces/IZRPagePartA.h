// A page's first companion file (e.g. recognised text); its path getter is
// slot 12. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPagePartA = MakeGuid("{FBC7EB72-5EFF-44B3-B746-4326BB2989B4}");

struct IZRPagePartA : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartA; }
    virtual HRESULT GetKind(BSTR* kind) = 0;           // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;        // 8
    virtual HRESULT GetSize(LONG* bytes) = 0;          // 9
    virtual HRESULT Exists(VARIANT_BOOL* exists) = 0;  // 10
    virtual HRESULT Reserved11() = 0;                  // 11
    virtual HRESULT GetFilePath(BSTR* path) = 0;       // 12

protected:
    ~IZRPagePartA() = default;
};
