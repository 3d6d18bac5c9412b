// Class-object table, registry-driven activation and module loading.
#include "platform/com/Activation.h"

#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace {

struct ClassEntry {
    CLSID clsid;
    CComPtr<IUnknown> factory;
};

struct LoadedLibrary {
    void* handle = nullptr;
    HRESULT (*getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT (*canUnloadNow)() = nullptr;
};

struct ActivationState {
    std::mutex mutex;
    std::map<DWORD, ClassEntry> classes;
    DWORD nextCookie = 1;
    std::map<std::string, LoadedLibrary> libraries;
};

ActivationState& State() {
    static auto* state = new ActivationState();  // lives for the whole process
    return *state;
}

HRESULT LoadServer(const std::string& path, LoadedLibrary* out) {
    ActivationState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.libraries.find(path);
    if (it == state.libraries.end()) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return CO_E_DLLNOTFOUND;
        LoadedLibrary lib;
        lib.handle = handle;
        lib.getClassObject =
            reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(::dlsym(handle, "DllGetClassObject"));
        lib.canUnloadNow = reinterpret_cast<HRESULT (*)()>(::dlsym(handle, "DllCanUnloadNow"));
        if (!lib.getClassObject) {
            ::dlclose(handle);
            return CO_E_ERRORINDLL;
        }
        it = state.libraries.emplace(path, lib).first;
    }
    *out = it->second;
    return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD) { return S_OK; }
void CoUninitialize() {}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie) {
    if (!factory || !cookie) return E_INVALIDARG;
    ActivationState& state = State();
    std::lock_guard lock(state.mutex);
    *cookie = state.nextCookie++;
    state.classes[*cookie] = ClassEntry{clsid, CComPtr<IUnknown>(factory)};
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
    CComPtr<IUnknown> released;
    ActivationState& state = State();
    std::lock_guard lock(state.mutex);
    auto it = state.classes.find(cookie);
    if (it == state.classes.end()) return E_INVALIDARG;
    released = it->second.factory;  // released after the lock is dropped
    state.classes.erase(it);
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CComPtr<IUnknown> registered;
    {
        ActivationState& state = State();
        std::lock_guard lock(state.mutex);
        for (auto& [cookie, entry] : state.classes)
            if (entry.clsid == clsid) registered = entry.factory;
    }
    if (registered) return registered->QueryInterface(riid, out);
    const std::optional<std::string> path =
        Registry::Instance().GetString("CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "");
    if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
    LoadedLibrary lib;
    HRESULT hr = LoadServer(*path, &lib);
    if (FAILED(hr)) return hr;
    return lib.getClassObject(clsid, riid, out);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer && riid != IID_IUnknown) return E_INVALIDARG;
    CComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(outer, riid, out);
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) return E_INVALIDARG;
    std::string key = Utf16ToUtf8(std::u16string_view(progId, OleStrLen(progId)));
    Registry& registry = Registry::Instance();
    for (int hop = 0; hop < 4; ++hop) {
        if (auto text = registry.GetString(key + "\\CLSID", "")) {
            if (auto guid = ParseGuid(*text)) {
                *clsid = *guid;
                return S_OK;
            }
            return CO_E_CLASSSTRING;
        }
        auto next = registry.GetString(key + "\\CurVer", "");
        if (!next) break;
        key = *next;
    }
    *clsid = GUID_NULL;
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
    if (!progId) return E_INVALIDARG;
    *progId = nullptr;
    auto text = Registry::Instance().GetString("CLSID\\" + GuidToString(clsid) + "\\ProgID", "");
    if (!text) return REGDB_E_CLASSNOTREG;
    const std::u16string wide = Utf8ToUtf16(*text);
    auto* memory = static_cast<OLECHAR*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!memory) return E_OUTOFMEMORY;
    std::memcpy(memory, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *progId = memory;
    return S_OK;
}

HRESULT OleRun(IUnknown* object) { return object ? S_OK : E_INVALIDARG; }

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void CoTaskMemFree(void* memory) { std::free(memory); }

void CoFreeUnusedLibraries() {
    ActivationState& state = State();
    std::lock_guard lock(state.mutex);
    for (auto it = state.libraries.begin(); it != state.libraries.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
            ::dlclose(it->second.handle);
            it = state.libraries.erase(it);
        } else {
            ++it;
        }
    }
}

HRESULT CreateInstanceByProgId(const std::string& progId, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CLSID clsid;
    const std::u16string wide = Utf8ToUtf16(progId);
    HRESULT hr = CLSIDFromProgID(wide.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    CComPtr<IUnknown> unknown;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr)) return hr;
    hr = OleRun(unknown);
    if (FAILED(hr)) return hr;
    return unknown->QueryInterface(riid, out);
}
