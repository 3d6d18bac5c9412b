// A process property as declared once: key, VARIANT type, default and a
// one-line meaning. A class declares each property as a typed key
// (`Property<VT_I4> kSize{"SIZE", 0, "..."}`) and lists the keys in a table
// of PropertyDecl; FinalConstruct walks the table to call AddProperty, the
// process reads values through the typed key, and hosts read the meanings.
// O(1).
#pragma once

#include "platform/com/ComPtr.h"

#include <string>

struct PropertyDecl {
    const char* key;
    VARTYPE type;      // VT_I2, VT_I4, VT_BOOL, VT_R8 or VT_BSTR
    long long number;  // default for numeric and VT_BOOL (non-zero = VARIANT_TRUE)
    const char* text;  // default for VT_BSTR
    const char* meaning;

    CComVariant DefaultValue() const {
        CComVariant value;
        value.vt = type;
        switch (type) {
            case VT_I2:
                value.iVal = static_cast<SHORT>(number);
                break;
            case VT_I4:
                value.lVal = static_cast<LONG>(number);
                break;
            case VT_BOOL:
                value.boolVal = number ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            case VT_R8:
                value.dblVal = static_cast<double>(number);
                break;
            case VT_BSTR:
                value.bstrVal = Utf8ToBstr(text ? text : "");
                break;
            default:
                value.vt = VT_EMPTY;
                break;
        }
        return value;
    }
};

// The C++ type a property of VARIANT type Vt is read as, and the member that
// holds it.
template <VARTYPE Vt>
struct PropertyValue;
template <>
struct PropertyValue<VT_I2> {
    using Type = SHORT;
    static Type From(const VARIANT& v) { return v.iVal; }
};
template <>
struct PropertyValue<VT_I4> {
    using Type = LONG;
    static Type From(const VARIANT& v) { return v.lVal; }
};
template <>
struct PropertyValue<VT_BOOL> {
    using Type = bool;
    static Type From(const VARIANT& v) { return v.boolVal != VARIANT_FALSE; }
};
template <>
struct PropertyValue<VT_R8> {
    using Type = double;
    static Type From(const VARIANT& v) { return v.dblVal; }
};
template <>
struct PropertyValue<VT_BSTR> {
    using Type = std::u16string;
    static Type From(const VARIANT& v) {
        return v.bstrVal ? std::u16string(v.bstrVal, SysStringLen(v.bstrVal)) : std::u16string();
    }
};

// A typed key: the one spelling of a property's key, its default and meaning.
template <VARTYPE Vt>
struct Property {
    PropertyDecl decl;

    constexpr Property(const char* key, long long number, const char* meaning) requires(Vt != VT_BSTR)
        : decl{key, Vt, number, nullptr, meaning} {}
    constexpr Property(const char* key, const char* text, const char* meaning) requires(Vt == VT_BSTR)
        : decl{key, Vt, 0, text, meaning} {}

    constexpr operator PropertyDecl() const { return decl; }
    constexpr const char* key() const { return decl.key; }
};
