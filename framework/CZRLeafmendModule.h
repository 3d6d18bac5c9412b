// The module object: class objects (created on first request and kept), the
// lock count, and registration of every class in table order. The four
// exported functions are thin wrappers around it.
#pragma once

#include "framework/ClassCatalogue.h"
#include "platform/com/Unknown.h"

#include <string>

class CZRLeafmendModule {
public:
    static HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** out);
    static HRESULT CanUnloadNow();
    static HRESULT RegisterServer();
    static HRESULT UnregisterServer();
    // Registration of the given classes (with the module's application
    // identifier and type library) from their descriptors.
    static HRESULT RegisterClasses(ClassList classes);
    static HRESULT UnregisterClasses(ClassList classes);
    // Full path of the module file (the %MODULE% of registration).
    static std::string ModulePath();
};

#define ZR_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
ZR_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** out);
ZR_MODULE_EXPORT HRESULT DllCanUnloadNow();
ZR_MODULE_EXPORT HRESULT DllRegisterServer();
ZR_MODULE_EXPORT HRESULT DllUnregisterServer();
}
