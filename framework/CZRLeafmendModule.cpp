// Module object and exports.
#include "framework/CZRLeafmendModule.h"

#include "framework/ClassCatalogue.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"
#include "resources/Identifiers.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>

namespace {
std::mutex& ModuleLock() {
    static std::mutex lock;
    return lock;
}
std::map<const ClassEntry*, CComPtr<IClassFactory>>& Factories() {
    static auto* factories = new std::map<const ClassEntry*, CComPtr<IClassFactory>>();
    return *factories;
}
}  // namespace

HRESULT CZRLeafmendModule::GetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassEntry* entry = FindClass(clsid);
    if (!entry || !entry->createFactory) return CLASS_E_CLASSNOTAVAILABLE;
    CComPtr<IClassFactory> factory;
    {
        std::lock_guard guard(ModuleLock());
        CComPtr<IClassFactory>& cached = Factories()[entry];
        if (!cached) {
            cached = entry->createFactory();
            if (!cached) return E_OUTOFMEMORY;
        }
        factory = cached;
    }
    return factory->QueryInterface(riid, out);
}

HRESULT CZRLeafmendModule::CanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

std::string CZRLeafmendModule::ModulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) && info.dli_fname)
        return std::filesystem::absolute(info.dli_fname).string();
    return {};
}

HRESULT CZRLeafmendModule::RegisterServer() {
    Registry& registry = Registry::Instance();
    const std::string appId = GuidToString(APPID_ZRLeafmendClient91);
    const std::string module = ModulePath();
    bool ok = registry.SetString("AppID\\" + appId, "", "ZRLeafmendClient91");
    ok &= registry.SetString("AppID\\ZRLeafmendClient91.DLL", "AppID", appId);
    for (const ClassEntry& entry : ClassCatalogue()) {
        if (!entry.createFactory) continue;
        const std::string progId = ProgIdOf(entry);
        const std::string independent = std::string("ZRLeafmendClient91.") + entry.name;
        const std::string description = std::string("ZR") + entry.name + " Class";
        const std::string clsid = GuidToString(*entry.clsid);
        ok &= registry.SetString(progId, "", description);
        ok &= registry.SetString(progId + "\\CLSID", "", clsid);
        ok &= registry.SetString(independent, "", description);
        ok &= registry.SetString(independent + "\\CLSID", "", clsid);
        ok &= registry.SetString(independent + "\\CurVer", "", progId);
        const std::string key = "CLSID\\" + clsid;
        registry.DeleteTree(key);
        ok &= registry.SetString(key, "", description);
        ok &= registry.SetString(key + "\\ProgID", "", progId);
        ok &= registry.SetString(key + "\\VersionIndependentProgID", "", independent);
        ok &= registry.CreateKey(key + "\\Programmable");
        ok &= registry.SetString(key + "\\InprocServer32", "", module);
        ok &= registry.SetString(key + "\\InprocServer32", "ThreadingModel", "Both");
        ok &= registry.SetString(key, "AppID", appId);
        ok &= registry.SetString(key + "\\TypeLib", "", GuidToString(LIBID_ZRLeafmendLib));
        if (entry.writesVersion) ok &= registry.SetString(key + "\\Version", "", "1.0");
    }
    return ok ? S_OK : REGDB_E_WRITEREGDB;
}

HRESULT CZRLeafmendModule::UnregisterServer() {
    Registry& registry = Registry::Instance();
    for (const ClassEntry& entry : ClassCatalogue()) {
        registry.DeleteTree(ProgIdOf(entry));
        registry.DeleteTree(std::string("ZRLeafmendClient91.") + entry.name);
        registry.DeleteTree("CLSID\\" + GuidToString(*entry.clsid));
    }
    registry.DeleteTree("AppID\\" + GuidToString(APPID_ZRLeafmendClient91));
    registry.DeleteTree("AppID\\ZRLeafmendClient91.DLL");
    return S_OK;
}

extern "C" {
HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return CZRLeafmendModule::GetClassObject(clsid, riid, out);
}
HRESULT DllCanUnloadNow() { return CZRLeafmendModule::CanUnloadNow(); }
HRESULT DllRegisterServer() { return CZRLeafmendModule::RegisterServer(); }
HRESULT DllUnregisterServer() { return CZRLeafmendModule::UnregisterServer(); }
}
