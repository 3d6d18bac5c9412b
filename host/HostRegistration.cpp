// Host class registration.
#include "host/HostRegistration.h"

#include "host/CZRPageRange.h"
#include "host/CZRPropertyBag.h"
#include "host/CZRStatusMessage.h"
#include "host/CZRZoneManager.h"
#include "host/HostIds.h"
#include "platform/com/Activation.h"
#include "platform/registry/Registry.h"

#include <mutex>

namespace {
template <class T>
void RegisterOne(const CLSID& clsid, const char* progId) {
    DWORD cookie = 0;
    CComPtr<IClassFactory> factory(new CComClassFactory<T>());
    CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    // The running host's own classes are never written to the registry file.
    Registry::Instance().SetSessionString(std::string(progId) + "\\CLSID", "", GuidToString(clsid));
}
}  // namespace

void RegisterHostClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterOne<CZRPropertyBag>(CLSID_ZRPropertyBag, kPropertyBagProgId);
        RegisterOne<CZRPageRange>(CLSID_ZRPageRange, kPageRangeProgId);
        RegisterOne<CZRZoneManager>(CLSID_ZRZoneManager, kZoneManagerProgId);
        RegisterOne<CZRStatusMessage>(CLSID_ZRStatusMessage, kStatusMessageProgId);
    });
}
