// The error information object and the thread's current error. O(1).
#include "platform/com/ErrorInfo.h"

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"

namespace {

class CErrorInfo : public CComObjectRootEx, public IErrorInfo, public ICreateErrorInfo {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IErrorInfo) return static_cast<IErrorInfo*>(this);
        if (riid == IID_ICreateErrorInfo) return static_cast<ICreateErrorInfo*>(this);
        return nullptr;
    }
    HRESULT GetGUID(GUID* guid) override {
        if (!guid) return E_INVALIDARG;
        *guid = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* out) override { return CopyOut(source_, out); }
    HRESULT GetDescription(BSTR* out) override { return CopyOut(description_, out); }
    HRESULT GetHelpFile(BSTR* out) override { return CopyOut(helpFile_, out); }
    HRESULT GetHelpContext(DWORD* out) override {
        if (!out) return E_INVALIDARG;
        *out = helpContext_;
        return S_OK;
    }
    HRESULT SetGUID(REFGUID guid) override {
        guid_ = guid;
        return S_OK;
    }
    HRESULT SetSource(LPOLESTR text) override { return Assign(source_, text); }
    HRESULT SetDescription(LPOLESTR text) override { return Assign(description_, text); }
    HRESULT SetHelpFile(LPOLESTR text) override { return Assign(helpFile_, text); }
    HRESULT SetHelpContext(DWORD context) override {
        helpContext_ = context;
        return S_OK;
    }

private:
    static HRESULT CopyOut(const CComBSTR& text, BSTR* out) {
        if (!out) return E_INVALIDARG;
        *out = text.Copy();
        return S_OK;
    }
    static HRESULT Assign(CComBSTR& field, LPOLESTR text) {
        field = CComBSTR(text);
        return S_OK;
    }
    GUID guid_ = GUID_NULL;
    CComBSTR source_;
    CComBSTR description_;
    CComBSTR helpFile_;
    DWORD helpContext_ = 0;
};

CComPtr<IErrorInfo>& ThreadError() {
    thread_local CComPtr<IErrorInfo> current;
    return current;
}

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    CComObject<CErrorInfo>* object = nullptr;
    HRESULT hr = CComObject<CErrorInfo>::CreateInstance(&object);
    if (FAILED(hr)) return hr;
    object->AddRef();
    *out = static_cast<ICreateErrorInfo*>(object);
    return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    ThreadError() = info;
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = ThreadError().Detach();
    return *out ? S_OK : S_FALSE;
}

std::string PeekErrorDescription() {
    CComPtr<IErrorInfo>& current = ThreadError();
    if (!current) return {};
    CComBSTR text;
    current->GetDescription(&text);
    return text.utf8();
}
