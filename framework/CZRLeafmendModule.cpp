// Module object and exports: factories cached per class under the module's
// lock, registration by the descriptors' scripts.
#include "framework/CZRLeafmendModule.h"

#include "framework/ClassCatalogue.h"
#include "framework/RegistrationScripts.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/registry/Registrar.h"
#include "platform/registry/Registry.h"
#include "resources/Identifiers.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace {
std::mutex& ModuleLock() {
    static std::mutex lock;
    return lock;
}
std::map<const ClassDescriptor*, CComPtr<IClassFactory>>& Factories() {
    static auto* factories = new std::map<const ClassDescriptor*, CComPtr<IClassFactory>>();
    return *factories;
}
}  // namespace

HRESULT CZRLeafmendModule::GetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ClassDescriptor* descriptor = FindClass(clsid);
    if (!descriptor || !descriptor->createFactory) return CLASS_E_CLASSNOTAVAILABLE;
    CComPtr<IClassFactory> factory;
    {
        std::lock_guard guard(ModuleLock());
        CComPtr<IClassFactory>& cached = Factories()[descriptor];
        if (!cached) {
            cached = descriptor->createFactory();
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

namespace {
// Runs every script in the given mode: application identifier first when
// registering and last when unregistering, the classes in table order, then
// the type library.
HRESULT RunScripts(ClassList classes, Registrar::Mode mode) {
    Registrar registrar;
    registrar.AddReplacement("MODULE", CZRLeafmendModule::ModulePath());
    registrar.AddReplacement("APPID", GuidToString(APPID_ZRLeafmendClient91));
    registrar.AddReplacement("OLEMISC", kOleMiscStatus);
    std::vector<std::string> scripts;
    if (mode == Registrar::Mode::Register) scripts.push_back(ModuleRegistrationScript());
    for (const ClassDescriptor* descriptor : classes) scripts.push_back(ClassRegistrationScript(*descriptor));
    scripts.push_back(TypeLibraryRegistrationScript());
    if (mode == Registrar::Mode::Unregister) scripts.push_back(ModuleRegistrationScript());
    for (const std::string& script : scripts)
        if (!registrar.Run(script, mode)) return E_UNEXPECTED;
    return Registry::Instance().Flush() ? S_OK : REGDB_E_WRITEREGDB;
}
}  // namespace

HRESULT CZRLeafmendModule::RegisterServer() { return RunScripts(ClassCatalogue(), Registrar::Mode::Register); }

HRESULT CZRLeafmendModule::UnregisterServer() { return RunScripts(ClassCatalogue(), Registrar::Mode::Unregister); }

HRESULT CZRLeafmendModule::RegisterClasses(ClassList classes) { return RunScripts(classes, Registrar::Mode::Register); }

HRESULT CZRLeafmendModule::UnregisterClasses(ClassList classes) {
    return RunScripts(classes, Registrar::Mode::Unregister);
}

extern "C" {
HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    return CZRLeafmendModule::GetClassObject(clsid, riid, out);
}
HRESULT DllCanUnloadNow() { return CZRLeafmendModule::CanUnloadNow(); }
HRESULT DllRegisterServer() { return CZRLeafmendModule::RegisterServer(); }
HRESULT DllUnregisterServer() { return CZRLeafmendModule::UnregisterServer(); }
}
