// A page's third companion file (e.g. metadata); its path getter is slot 7. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPagePartC = MakeGuid("{E3D2DBB8-DB85-47C9-9FAB-0B609C081AB1}");

struct IZRPagePartC : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartC; }
    virtual HRESULT GetFilePath(BSTR* path) = 0;  // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;   // 8
    virtual HRESULT GetKind(BSTR* kind) = 0;      // 9

protected:
    ~IZRPagePartC() = default;
};
