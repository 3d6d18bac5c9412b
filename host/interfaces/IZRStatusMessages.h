// A page's list of status messages. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRStatusMessages = MakeGuid("{7A1D2C41-5B8E-4F61-9C3A-2E4B6D8F0A11}");

struct ZRStatusMessage;

struct IZRStatusMessages : IDispatch {
    static constexpr const IID& iid() { return IID_IZRStatusMessages; }
    virtual HRESULT GetCount(LONG* count) = 0;                           // 7
    virtual HRESULT GetItem(LONG index, ZRStatusMessage** message) = 0;  // 8
    virtual HRESULT Clear() = 0;                                         // 9
    virtual HRESULT Add(ZRStatusMessage* message) = 0;                   // 10

protected:
    ~IZRStatusMessages() = default;
};
