// A page status message (process name, type, text) and the page's list of
// them. O(1) per message.
#pragma once

#include "host/HostInterfaces.h"
#include "host/HostObject.h"

#include <vector>

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

class ZR_HOST_API CZRStatusMessages : public HostObject<IZRStatusMessages> {
public:
    HRESULT GetCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<LONG>(messages_.size());
        return S_OK;
    }
    HRESULT GetItem(LONG index, ZRStatusMessage** message) override {
        if (!message) return E_POINTER;
        if (index < 0 || static_cast<std::size_t>(index) >= messages_.size()) return DISP_E_BADINDEX;
        return messages_[static_cast<std::size_t>(index)].CopyTo(message);
    }
    HRESULT Clear() override {
        messages_.clear();
        return S_OK;
    }
    HRESULT Add(ZRStatusMessage* message) override {
        if (!message) return E_POINTER;
        messages_.emplace_back(message);
        return S_OK;
    }

private:
    std::vector<CComPtr<ZRStatusMessage>> messages_;
};
