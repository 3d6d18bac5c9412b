// One-dimensional SAFEARRAYs of BSTR, VARIANT or scalars. O(n) copies.
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

#include <cstdlib>
#include <new>

namespace {
ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return sizeof(BSTR);
        case VT_VARIANT:
            return sizeof(VARIANT);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(void*);
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
            return 8;
        default:
            return 0;
    }
}

bool Slot(SAFEARRAY* a, const LONG* index, void** where) {
    if (!a || !index) return false;
    const long long offset = static_cast<long long>(*index) - a->rgsabound[0].lLbound;
    if (offset < 0 || offset >= static_cast<long long>(a->rgsabound[0].cElements)) return false;
    *where = static_cast<unsigned char*>(a->pvData) + offset * a->cbElements;
    return true;
}
}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count) {
    const ULONG size = ElementSize(vt);
    if (size == 0 || count > 0x10000000u) return nullptr;
    auto* a = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!a) return nullptr;
    a->cDims = 1;
    a->cbElements = size;
    a->vt = vt;
    a->rgsabound[0].cElements = count;
    a->rgsabound[0].lLbound = lowerBound;
    a->pvData = std::calloc(count ? count : 1, size);
    if (!a->pvData) {
        std::free(a);
        return nullptr;
    }
    return a;
}

HRESULT SafeArrayDestroy(SAFEARRAY* a) {
    if (!a) return S_OK;
    auto* data = static_cast<unsigned char*>(a->pvData);
    for (ULONG i = 0; i < a->rgsabound[0].cElements; ++i) {
        void* item = data + i * a->cbElements;
        if (a->vt == VT_BSTR)
            SysFreeString(*static_cast<BSTR*>(item));
        else if (a->vt == VT_VARIANT)
            VariantClear(static_cast<VARIANT*>(item));
        else if ((a->vt == VT_UNKNOWN || a->vt == VT_DISPATCH) && *static_cast<IUnknown**>(item))
            (*static_cast<IUnknown**>(item))->Release();
    }
    std::free(a->pvData);
    std::free(a);
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* a, const LONG* index, void* value) {
    void* where;
    if (!Slot(a, index, &where)) return DISP_E_BADINDEX;
    if (a->vt == VT_BSTR) {
        auto source = static_cast<BSTR>(value);
        BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        SysFreeString(*static_cast<BSTR*>(where));
        *static_cast<BSTR*>(where) = copy;
        return S_OK;
    }
    if (a->vt == VT_VARIANT) return VariantCopy(static_cast<VARIANT*>(where), static_cast<VARIANT*>(value));
    if (a->vt == VT_UNKNOWN || a->vt == VT_DISPATCH) {
        auto* unk = static_cast<IUnknown*>(value);
        if (unk) unk->AddRef();
        auto** slot = static_cast<IUnknown**>(where);
        if (*slot) (*slot)->Release();
        *slot = unk;
        return S_OK;
    }
    std::memcpy(where, value, a->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* a, const LONG* index, void* value) {
    void* where;
    if (!value) return E_INVALIDARG;
    if (!Slot(a, index, &where)) return DISP_E_BADINDEX;
    if (a->vt == VT_BSTR) {
        BSTR source = *static_cast<BSTR*>(where);
        BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        *static_cast<BSTR*>(value) = copy;
        return S_OK;
    }
    if (a->vt == VT_VARIANT) {
        VariantInit(static_cast<VARIANT*>(value));
        return VariantCopy(static_cast<VARIANT*>(value), static_cast<VARIANT*>(where));
    }
    if (a->vt == VT_UNKNOWN || a->vt == VT_DISPATCH) {
        auto* unk = *static_cast<IUnknown**>(where);
        if (unk) unk->AddRef();
        *static_cast<IUnknown**>(value) = unk;
        return S_OK;
    }
    std::memcpy(value, where, a->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = a->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* bound) {
    if (!a || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = a->rgsabound[0].lLbound + static_cast<LONG>(a->rgsabound[0].cElements) - 1;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy) {
    if (!source || !copy) return E_INVALIDARG;
    SAFEARRAY* fresh = SafeArrayCreateVector(source->vt, source->rgsabound[0].lLbound, source->rgsabound[0].cElements);
    if (!fresh) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < source->rgsabound[0].cElements; ++i) {
        const LONG index = source->rgsabound[0].lLbound + static_cast<LONG>(i);
        void* item = static_cast<unsigned char*>(source->pvData) + i * source->cbElements;
        void* arg = (source->vt == VT_BSTR) ? static_cast<void*>(*static_cast<BSTR*>(item))
                    : (source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH)
                        ? static_cast<void*>(*static_cast<IUnknown**>(item))
                        : item;
        HRESULT hr = SafeArrayPutElement(fresh, &index, arg);
        if (FAILED(hr)) {
            SafeArrayDestroy(fresh);
            return hr;
        }
    }
    *copy = fresh;
    return S_OK;
}
