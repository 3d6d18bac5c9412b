// The property bag a process keeps its named VARIANT properties in. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_ZRPropertyBag = MakeGuid("{93AAE326-8DC7-4968-9FE1-62A882E5A3B4}");

constexpr const char* kPropertyBagProgId = "ZRObjectsClient91.ZRPropertyBag.1";

struct ZRPropertyBag : IDispatch {
    static constexpr const IID& iid() { return IID_ZRPropertyBag; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;       // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;       // 8
    virtual HRESULT GetCount(LONG* count) = 0;                      // 9
    virtual HRESULT GetProperty(BSTR name, VARIANT* value) = 0;     // 10
    virtual HRESULT PutProperty(BSTR name, VARIANT value) = 0;      // 11
    virtual HRESULT GetPropertyNames(VARIANT* names) = 0;           // 12
    virtual HRESULT RemoveProperty(BSTR name) = 0;                  // 13
    virtual HRESULT HasProperty(BSTR name, VARIANT_BOOL* has) = 0;  // 14
    virtual HRESULT AddProperty(BSTR name, VARIANT value) = 0;      // 15

protected:
    ~ZRPropertyBag() = default;
};
