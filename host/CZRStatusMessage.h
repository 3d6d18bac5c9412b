// A page status message: the process that posted it, its type and text.
// O(1).
#pragma once

#include "host/HostObject.h"
#include "host/interfaces/ZRStatusMessage.h"

class ZR_HOST_API CZRStatusMessage : public HostObject<ZRStatusMessage> {
public:
    HRESULT LoadProperties(IZRXMLMarkup*) override { return S_OK; }
    HRESULT SaveProperties(IZRXMLMarkup*) override { return S_OK; }
    HRESULT GetProcessName(BSTR* name) override { return CopyOut(processName_, name); }
    HRESULT SetProcessName(BSTR name) override { return Assign(processName_, name); }
    HRESULT GetMessageType(LONG* type) override {
        if (!type) return E_POINTER;
        *type = type_;
        return S_OK;
    }
    HRESULT SetMessageType(LONG type) override {
        type_ = type;
        return S_OK;
    }
    HRESULT GetText(BSTR* text) override { return CopyOut(text_, text); }
    HRESULT SetText(BSTR text) override { return Assign(text_, text); }

private:
    static HRESULT CopyOut(const CComBSTR& value, BSTR* out) {
        if (!out) return E_POINTER;
        *out = value.m_str() ? value.Copy() : SysAllocString(u"");
        return S_OK;
    }
    static HRESULT Assign(CComBSTR& field, BSTR value) {
        field = value ? CComBSTR(std::u16string_view(value, SysStringLen(value))) : CComBSTR(u"");
        return S_OK;
    }
    CComBSTR processName_{u""};
    CComBSTR text_{u""};
    LONG type_ = 0;
};
