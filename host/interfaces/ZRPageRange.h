// The page range that limits a process to some pages of a document. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_ZRPageRange = MakeGuid("{BBEE7930-AB0C-41F0-B5F7-1574E4BBB07F}");

constexpr const char* kPageRangeProgId = "ZRObjectsClient91.ZRPageRange.1";

struct ZRPageRange : IDispatch {
    static constexpr const IID& iid() { return IID_ZRPageRange; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;          // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;          // 8
    virtual HRESULT IsValidRange(BSTR text, VARIANT_BOOL* valid) = 0;  // 9
    virtual HRESULT GetRange(BSTR* text) = 0;                          // 10
    virtual HRESULT SetRange(BSTR text) = 0;                           // 11
    virtual HRESULT IsInRange(LONG page, VARIANT_BOOL* inRange) = 0;   // 12

protected:
    ~ZRPageRange() = default;
};
