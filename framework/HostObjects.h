// Creating host service objects by ProgID (CoCreateInstance with CLSCTX_ALL
// for IUnknown, OleRun, then QueryInterface); every failure is raised as
// CZRException(hr). O(1) after the first activation.
#pragma once

#include "framework/CZRException.h"
#include "host/HostInterfaces.h"
#include "platform/com/Activation.h"

template <class Interface>
CComPtr<Interface> CreateHostObject(const char* progId) {
    CLSID clsid;
    const std::u16string wide = Utf8ToUtf16(progId);
    ThrowIfFailed(CLSIDFromProgID(wide.c_str(), &clsid));
    CComPtr<IUnknown> unknown;
    ThrowIfFailed(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    ThrowIfFailed(OleRun(unknown));
    CComPtr<Interface> result;
    ThrowIfFailed(unknown->QueryInterface(Interface::iid(), reinterpret_cast<void**>(&result)));
    return result;
}
