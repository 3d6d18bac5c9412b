// Host markup creation.
#include "host/HostMarkup.h"

#include "host/CZRHostMarkup.h"

HRESULT CreateHostMarkup(IZRXMLMarkup** markup) {
    if (!markup) return E_POINTER;
    *markup = nullptr;
    CComObject<CZRHostMarkup>* object = nullptr;
    const HRESULT hr = CComObject<CZRHostMarkup>::CreateInstance(&object);
    if (FAILED(hr)) return hr;
    object->AddRef();
    *markup = object;
    return S_OK;
}
