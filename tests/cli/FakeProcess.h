// A stand-in process for the driver's tests: takes the pages its filter
// list names, counts its calls, does an optional action to the page, and
// answers Process with a chosen HRESULT and "handled" flag. Only what the
// driver calls does anything.
#pragma once

#include "host/HostInterfaces.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/DispatchImpl.h"

#include <functional>
#include <set>

class FakeProcess : public CComObjectRootEx, public DispatchImpl<IZRProcessEx> {
public:
    static CComPtr<IZRProcessEx> Make(HRESULT answer, bool handled, std::set<LONG> pages, FakeProcess** self) {
        CComObject<FakeProcess>* object = nullptr;
        CComObject<FakeProcess>::CreateInstance(&object);
        object->answer_ = answer;
        object->handled_ = handled;
        object->pages_ = std::move(pages);
        *self = object;
        return CComPtr<IZRProcessEx>(object);
    }
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRProcessEx)
            return static_cast<IZRProcessEx*>(this);
        return nullptr;
    }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id == 1002 && FAILED(filterAnswer)) return filterAnswer;
        if (id != 1002 || !params || params->cArgs != 1 || params->rgvarg[0].vt != VT_UNKNOWN || !result)
            return DISP_E_MEMBERNOTFOUND;
        CComPtr<IZRPage> page;
        LONG number = 0;
        if (params->rgvarg[0].punkVal) params->rgvarg[0].punkVal->QueryInterface(&page);
        if (page) page->GetPageNumber(&number);
        result->vt = VT_BOOL;
        result->boolVal = pages_.empty() || pages_.count(number) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override {
        ++calls;
        if (action) action(page);
        *result = handled_ ? VARIANT_TRUE : VARIANT_FALSE;
        return answer_;
    }
    HRESULT LoadProperties(IZRXMLMarkup*) override { return E_NOTIMPL; }
    HRESULT SaveProperties(IZRXMLMarkup*) override { return E_NOTIMPL; }
    HRESULT get_XML(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Properties(BSTR, VARIANT*) override { return E_INVALIDARG; }
    HRESULT put_Properties(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT GetPropertyNames(VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_Name(BSTR) override { return S_OK; }
    HRESULT put_Mode(LONG) override { return S_OK; }
    HRESULT get_Mode(LONG*) override { return E_NOTIMPL; }
    HRESULT GetZoneManager(ZRZoneManager** manager) override {
        *manager = nullptr;
        return S_OK;
    }
    HRESULT put_ProcessType(LONG) override { return S_OK; }
    HRESULT get_ProcessType(LONG*) override { return E_NOTIMPL; }
    HRESULT GetPageRange(ZRPageRange** range) override {
        *range = nullptr;
        return S_OK;
    }
    int calls = 0;
    HRESULT filterAnswer = S_OK;           // a failing page filter when set
    std::function<void(IZRPage*)> action;  // what Process does to the page, when set

private:
    std::basic_string_view<DispatchName> DispatchNames() const override {
        static const DispatchName names[] = {{u"ShouldProcessPage", 1002}};
        return {names, 1};
    }
    HRESULT answer_ = S_OK;
    bool handled_ = true;
    std::set<LONG> pages_;
};
