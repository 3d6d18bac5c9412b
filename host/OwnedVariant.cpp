// Owned copies of VARIANT arguments.
#include "host/OwnedVariant.h"

HRESULT CopyOwnedValue(const VARIANT& value, CComVariant* copy) {
    CComVariant result;
    HRESULT hr = S_OK;
    if (value.vt == (VT_BSTR | VT_BYREF))
        hr = VariantChangeType(&result, &value, 0, VT_BSTR);
    else if (value.vt & VT_BYREF)
        hr = DISP_E_TYPEMISMATCH;
    else
        hr = VariantCopy(&result, &value);
    if (FAILED(hr)) return hr;
    *copy = std::move(result);
    return S_OK;
}
