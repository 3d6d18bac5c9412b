// A process property as declared once: key, VARIANT type, default and a
// one-line meaning. FinalConstruct walks the table to call AddProperty, and
// the command line lists the same table. O(1).
#pragma once

#include "platform/com/ComPtr.h"

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
