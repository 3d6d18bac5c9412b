// A page's second companion file (e.g. a thumbnail); its path getter is
// slot 11. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPagePartB = MakeGuid("{4BF1AFE2-4EBF-42A4-93AA-22D8B28937A0}");

struct IZRPagePartB : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartB; }
    virtual HRESULT GetKind(BSTR* kind) = 0;           // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;        // 8
    virtual HRESULT GetSize(LONG* bytes) = 0;          // 9
    virtual HRESULT Exists(VARIANT_BOOL* exists) = 0;  // 10
    virtual HRESULT GetFilePath(BSTR* path) = 0;       // 11

protected:
    ~IZRPagePartB() = default;
};
