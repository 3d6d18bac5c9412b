// VARIANT and SAFEARRAY: the tagged values that carry properties, and the
// one-dimensional BSTR arrays that carry property names. O(1) per value.
#pragma once

#include "platform/com/Bstr.h"

struct IUnknown;
struct IDispatch;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

struct SAFEARRAY;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
        char cVal;
        USHORT uiVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;

ZR_COM_API void VariantInit(VARIANT* v);
ZR_COM_API HRESULT VariantClear(VARIANT* v);
// Deep copy: BSTRs duplicated, interfaces AddRef'd, arrays copied.
ZR_COM_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts between the scalar types, BSTR and VT_BOOL ("true"/"false", numbers).
// Overflow gives DISP_E_OVERFLOW, unparsable text DISP_E_TYPEMISMATCH.
ZR_COM_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
// Name of a VARIANT type as used in saved XML ("VT_I2", "VT_BSTR" ...); empty when unknown.
ZR_COM_API const char* VarTypeName(VARTYPE vt);
// Inverse of VarTypeName; VT_ILLEGAL-like 0xFFFF when unknown.
ZR_COM_API VARTYPE VarTypeFromName(std::string_view name);
// A value rendered as text for humans and for saved XML (BSTR as UTF-8, numbers in C locale).
ZR_COM_API std::string VariantToText(const VARIANT& v);

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
    VARTYPE vt;  // element type (BSTR, VARIANT or scalars)
};

// One-dimensional arrays only: enough for lists of names and values.
ZR_COM_API SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count);
ZR_COM_API HRESULT SafeArrayDestroy(SAFEARRAY* array);
ZR_COM_API HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* index, void* value);
ZR_COM_API HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* index, void* value);
ZR_COM_API HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
ZR_COM_API HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
ZR_COM_API HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy);
