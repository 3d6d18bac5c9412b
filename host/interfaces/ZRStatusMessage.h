// A status message a process attaches to a page. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_ZRStatusMessage = MakeGuid("{835C8650-07F5-4FCB-A1C9-601DA48CD98F}");

constexpr const char* kStatusMessageProgId = "ZRObjectsClient91.ZRStatusMessage.1";
// Status message types.
constexpr LONG STATUS_MESSAGE_REFUSED = 2;
constexpr LONG STATUS_MESSAGE_PAGE_REMOVED = 3;

struct ZRStatusMessage : IDispatch {
    static constexpr const IID& iid() { return IID_ZRStatusMessage; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;  // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;  // 8
    virtual HRESULT GetProcessName(BSTR* name) = 0;            // 9
    virtual HRESULT SetProcessName(BSTR name) = 0;             // 10
    virtual HRESULT GetMessageType(LONG* type) = 0;            // 11
    virtual HRESULT SetMessageType(LONG type) = 0;             // 12
    virtual HRESULT GetText(BSTR* text) = 0;                   // 13
    virtual HRESULT SetText(BSTR text) = 0;                    // 14

protected:
    ~ZRStatusMessage() = default;
};
