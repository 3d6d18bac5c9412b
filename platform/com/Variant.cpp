// VARIANT lifetime, copying and conversion. O(1) per scalar, O(n) for strings.
#include "platform/com/Variant.h"

#include "platform/com/Unknown.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

void VariantInit(VARIANT* v) {
    if (!v) return;
    std::memset(v, 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            SafeArrayDestroy(v->parray);
        } else {
            switch (v->vt) {
                case VT_BSTR:
                    SysFreeString(v->bstrVal);
                    break;
                case VT_UNKNOWN:
                case VT_DISPATCH:
                    if (v->punkVal) v->punkVal->Release();
                    break;
                default:
                    break;
            }
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (dest == src) return S_OK;
    VARIANT copy = *src;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            copy.parray = nullptr;
            if (src->parray) {
                HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
                if (FAILED(hr)) return hr;
            }
        } else if (src->vt == VT_BSTR) {
            if (src->bstrVal) {
                copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
                if (!copy.bstrVal) return E_OUTOFMEMORY;
            }
        } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
            src->punkVal->AddRef();
        }
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

namespace {

struct TypeName {
    VARTYPE vt;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {VT_EMPTY, "VT_EMPTY"}, {VT_NULL, "VT_NULL"},   {VT_I2, "VT_I2"},     {VT_I4, "VT_I4"},   {VT_R4, "VT_R4"},
    {VT_R8, "VT_R8"},       {VT_BSTR, "VT_BSTR"},   {VT_BOOL, "VT_BOOL"}, {VT_I1, "VT_I1"},   {VT_UI1, "VT_UI1"},
    {VT_UI2, "VT_UI2"},     {VT_UI4, "VT_UI4"},     {VT_I8, "VT_I8"},     {VT_UI8, "VT_UI8"}, {VT_INT, "VT_INT"},
    {VT_UINT, "VT_UINT"},   {VT_ERROR, "VT_ERROR"},
};

bool IsInteger(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_BOOL:
        case VT_ERROR:
            return true;
        default:
            return false;
    }
}

// Reads any scalar as a long double (exact for all integer types we use).
bool ReadNumber(const VARIANT& v, long double* out) {
    switch (v.vt) {
        case VT_I1:
            *out = static_cast<signed char>(v.cVal);
            return true;
        case VT_I2:
            *out = v.iVal;
            return true;
        case VT_I4:
        case VT_ERROR:
            *out = v.lVal;
            return true;
        case VT_INT:
            *out = v.intVal;
            return true;
        case VT_I8:
            *out = static_cast<long double>(v.llVal);
            return true;
        case VT_UI1:
            *out = v.bVal;
            return true;
        case VT_UI2:
            *out = v.uiVal;
            return true;
        case VT_UI4:
            *out = v.ulVal;
            return true;
        case VT_UINT:
            *out = v.uintVal;
            return true;
        case VT_UI8:
            *out = static_cast<long double>(v.ullVal);
            return true;
        case VT_R4:
            *out = v.fltVal;
            return true;
        case VT_R8:
            *out = v.dblVal;
            return true;
        case VT_BOOL:
            *out = v.boolVal ? -1 : 0;
            return true;
        case VT_EMPTY:
            *out = 0;
            return true;
        default:
            return false;
    }
}

bool ParseText(const std::string& raw, long double* out) {
    std::string text = raw;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
    text = text.substr(start);
    if (text.empty()) return false;
    std::string lower;
    for (char c : text) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (lower == "true") {
        *out = -1;
        return true;
    }
    if (lower == "false") {
        *out = 0;
        return true;
    }
    double value = 0;
    const char* first = text.data();
    if (*first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return false;
    *out = value;
    return true;
}

template <class T>
bool FitsInteger(long double v) {
    return std::nearbyint(v) >= static_cast<long double>(std::numeric_limits<T>::min()) &&
           std::nearbyint(v) <= static_cast<long double>(std::numeric_limits<T>::max());
}

}  // namespace

const char* VarTypeName(VARTYPE vt) {
    for (const auto& t : kTypeNames)
        if (t.vt == vt) return t.name;
    return "";
}

VARTYPE VarTypeFromName(std::string_view name) {
    for (const auto& t : kTypeNames)
        if (name == t.name) return t.vt;
    return 0xFFFF;
}

std::string VariantToText(const VARIANT& v) {
    if (v.vt == VT_BSTR) return BstrToUtf8(v.bstrVal);
    if (v.vt == (VT_BSTR | VT_BYREF)) return v.pbstrVal ? BstrToUtf8(*v.pbstrVal) : std::string();
    if (v.vt == VT_BOOL) return v.boolVal ? "true" : "false";
    if (v.vt == VT_R4 || v.vt == VT_R8) {
        // The shortest text that reads back as the same value: 0.05, not 0.050000000000000003.
        char buf[64];
        const auto written = v.vt == VT_R4 ? std::to_chars(buf, buf + sizeof buf, v.fltVal)
                                           : std::to_chars(buf, buf + sizeof buf, v.dblVal);
        return std::string(buf, written.ptr);
    }
    long double n = 0;
    if (v.vt != VT_EMPTY && ReadNumber(v, &n)) {
        if (v.vt == VT_UI8) return std::to_string(v.ullVal);
        if (v.vt == VT_I8) return std::to_string(v.llVal);
        return std::to_string(static_cast<long long>(n));
    }
    return {};
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    const VARIANT* source = src;
    VARIANT deref;
    if (src->vt == (VT_BSTR | VT_BYREF)) {
        VariantInit(&deref);
        deref.vt = VT_BSTR;
        deref.bstrVal = src->pbstrVal ? *src->pbstrVal : nullptr;
        source = &deref;
    }
    if (source->vt == vt) return VariantCopy(dest, source);
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    if (vt == VT_BSTR) {
        long double n;
        if (!ReadNumber(*source, &n)) return DISP_E_TYPEMISMATCH;
        result.bstrVal = Utf8ToBstr(VariantToText(*source));
        if (!result.bstrVal) return E_OUTOFMEMORY;
    } else if (vt == VT_EMPTY) {
        // Nothing to carry.
    } else {
        long double n = 0;
        if (source->vt == VT_BSTR) {
            if (!ParseText(BstrToUtf8(source->bstrVal), &n)) return DISP_E_TYPEMISMATCH;
        } else if (!ReadNumber(*source, &n)) {
            return DISP_E_TYPEMISMATCH;
        }
        if (IsInteger(vt) && vt != VT_BOOL && source->vt == VT_BSTR && std::nearbyint(n) != n)
            return DISP_E_TYPEMISMATCH;
        switch (vt) {
            case VT_I1:
                if (!FitsInteger<signed char>(n)) return DISP_E_OVERFLOW;
                result.cVal = static_cast<char>(std::nearbyint(n));
                break;
            case VT_I2:
                if (!FitsInteger<SHORT>(n)) return DISP_E_OVERFLOW;
                result.iVal = static_cast<SHORT>(std::nearbyint(n));
                break;
            case VT_I4:
                if (!FitsInteger<LONG>(n)) return DISP_E_OVERFLOW;
                result.lVal = static_cast<LONG>(std::nearbyint(n));
                break;
            case VT_INT:
                if (!FitsInteger<INT>(n)) return DISP_E_OVERFLOW;
                result.intVal = static_cast<INT>(std::nearbyint(n));
                break;
            case VT_I8:
                if (!FitsInteger<LONGLONG>(n)) return DISP_E_OVERFLOW;
                result.llVal = static_cast<LONGLONG>(std::nearbyint(n));
                break;
            case VT_UI1:
                if (!FitsInteger<BYTE>(n)) return DISP_E_OVERFLOW;
                result.bVal = static_cast<BYTE>(std::nearbyint(n));
                break;
            case VT_UI2:
                if (!FitsInteger<USHORT>(n)) return DISP_E_OVERFLOW;
                result.uiVal = static_cast<USHORT>(std::nearbyint(n));
                break;
            case VT_UI4:
                if (!FitsInteger<ULONG>(n)) return DISP_E_OVERFLOW;
                result.ulVal = static_cast<ULONG>(std::nearbyint(n));
                break;
            case VT_UINT:
                if (!FitsInteger<UINT>(n)) return DISP_E_OVERFLOW;
                result.uintVal = static_cast<UINT>(std::nearbyint(n));
                break;
            case VT_UI8:
                if (!FitsInteger<ULONGLONG>(n)) return DISP_E_OVERFLOW;
                result.ullVal = static_cast<ULONGLONG>(std::nearbyint(n));
                break;
            case VT_R4:
                result.fltVal = static_cast<FLOAT>(n);
                break;
            case VT_R8:
                result.dblVal = static_cast<DOUBLE>(n);
                break;
            case VT_BOOL:
                result.boolVal = n != 0 ? VARIANT_TRUE : VARIANT_FALSE;
                break;
            default:
                return DISP_E_TYPEMISMATCH;
        }
    }
    VariantClear(dest);
    *dest = result;
    return S_OK;
}
