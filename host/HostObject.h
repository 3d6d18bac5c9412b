// Base of the host's COM objects: reference counting and an interface map
// answering IUnknown, IDispatch and the object's one interface.
#pragma once

#include "host/MarkupReader.h"
#include "platform/com/ComObject.h"
#include "platform/com/DispatchImpl.h"

template <class Interface>
class HostObject : public CComObjectRootEx, public DispatchImpl<Interface> {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == Interface::iid())
            return static_cast<Interface*>(this);
        return nullptr;
    }

    // Creates a new object and answers it with one reference.
    template <class Derived>
    static CComPtr<Derived> Create() {
        CComObject<Derived>* object = nullptr;
        if (FAILED(CComObject<Derived>::CreateInstance(&object))) return nullptr;
        return CComPtr<Derived>(object);
    }

protected:
    // Runs a host operation: HostError becomes error information.
    template <class Body>
    HRESULT Guard(Body&& body) noexcept {
        try {
            return body();
        } catch (const HostError& error) {
            return ReportHostError(error, Interface::iid());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
};
