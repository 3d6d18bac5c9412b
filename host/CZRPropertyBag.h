// The host property bag: named VARIANT properties in declaration order, each
// keeping its VARIANT type; saves itself as a "PropertyBag" element with one
// "Property" child (Name, Type, Value) per property. A key declared with
// AddProperty keeps its declared type whatever is put or loaded into it.
// O(n) lookups.
#pragma once

#include "host/HostObject.h"
#include "host/interfaces/ZRPropertyBag.h"

#include <string>
#include <vector>

class ZR_HOST_API CZRPropertyBag : public HostObject<ZRPropertyBag> {
public:
    HRESULT LoadProperties(IZRXMLMarkup* markup) override;
    HRESULT SaveProperties(IZRXMLMarkup* markup) override;
    HRESULT GetCount(LONG* count) override;
    HRESULT GetProperty(BSTR name, VARIANT* value) override;
    HRESULT PutProperty(BSTR name, VARIANT value) override;
    HRESULT GetPropertyNames(VARIANT* names) override;
    HRESULT RemoveProperty(BSTR name) override;
    HRESULT HasProperty(BSTR name, VARIANT_BOOL* has) override;
    HRESULT AddProperty(BSTR name, VARIANT value) override;

private:
    struct Entry {
        std::u16string name;
        CComVariant value;
        bool declared = false;  // by AddProperty: its type is fixed
    };
    Entry* Find(BSTR name);
    std::vector<Entry> entries_;
};
