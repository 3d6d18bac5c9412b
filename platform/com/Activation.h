// Object activation: class objects registered by the running host first,
// then the registry (ProgID -> CLSID -> InprocServer32 path -> dlopen ->
// DllGetClassObject). ProgID and CLSID lookups read the registry. O(log n)
// per lookup; the first activation of a module costs one dlopen.
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/Unknown.h"

#include <string>

ZR_COM_API HRESULT CoInitializeEx(void* reserved, DWORD model);
ZR_COM_API void CoUninitialize();

ZR_COM_API HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
ZR_COM_API HRESULT CoRevokeClassObject(DWORD cookie);
ZR_COM_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID riid, void** out);
ZR_COM_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out);
// ProgID -> CLSID through "ProgID\CLSID" (following "CurVer" when the key has no CLSID).
ZR_COM_API HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// CLSID -> "CLSID\{...}\ProgID"; the string is allocated with CoTaskMemAlloc.
ZR_COM_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);
ZR_COM_API HRESULT OleRun(IUnknown* object);
ZR_COM_API void* CoTaskMemAlloc(std::size_t bytes);
ZR_COM_API void CoTaskMemFree(void* memory);
// Creates the free-threaded marshaler aggregated on `outer`; the answer is its inner unknown.
ZR_COM_API HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshaler);

// Loaded module libraries that nothing uses any more are unloaded.
ZR_COM_API void CoFreeUnusedLibraries();

// Convenience for C++ callers: ProgID (UTF-8) -> new object's interface.
ZR_COM_API HRESULT CreateInstanceByProgId(const std::string& progId, REFIID riid, void** out);
