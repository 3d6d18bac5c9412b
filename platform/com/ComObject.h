// Object shells that give a class its IUnknown: CComObjectRootEx (atomic
// reference count, controlling unknown), CComObject (plain creation),
// CComContainedObject/CComAggObject (aggregation), and the per-binary module
// lock count. A class supplies `void* QueryInterfaceMap(REFIID)` returning the
// interface pointer (no AddRef) or null, plus optional FinalConstruct/FinalRelease.
#pragma once

#include "platform/com/Unknown.h"

#include <atomic>
#include <new>

// Objects and factory locks of this binary (module, host library). With hidden
// visibility each shared object has its own count.
inline std::atomic<long>& ModuleLockCount() {
    static std::atomic<long> count{0};
    return count;
}

class CComObjectRootEx {
public:
    CComObjectRootEx() = default;
    CComObjectRootEx(const CComObjectRootEx&) = delete;
    CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

    ULONG InternalAddRef() { return ++refs_; }
    ULONG InternalRelease() { return --refs_; }
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}
    // Called for IIDs the class map does not know (e.g. to reach an aggregated object).
    HRESULT QueryInterfaceFallback(REFIID, void**) { return E_NOINTERFACE; }
    // The outer object when aggregated, else the object's own IUnknown.
    IUnknown* GetControllingUnknown() const { return controlling_; }
    void SetControllingUnknown(IUnknown* unknown) { controlling_ = unknown; }
    bool IsAggregated() const { return aggregated_; }
    void SetAggregated(bool aggregated) { aggregated_ = aggregated; }

protected:
    ~CComObjectRootEx() = default;

private:
    std::atomic<ULONG> refs_{0};
    IUnknown* controlling_ = nullptr;
    bool aggregated_ = false;
};

// Looks `riid` up in the object's map and AddRefs the answer through `self`.
template <class Object>
HRESULT ComQueryInterface(Object* object, IUnknown* self, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    void* found = object->QueryInterfaceMap(riid);
    if (!found) return object->QueryInterfaceFallback(riid, out);
    *out = found;
    self->AddRef();
    return S_OK;
}

template <class Base>
class CComObject final : public Base {
public:
    CComObject() { ++ModuleLockCount(); }
    ~CComObject() { --ModuleLockCount(); }

    // Creates the object with reference count 0 and runs FinalConstruct; on
    // failure the object is destroyed and the HRESULT returned.
    static HRESULT CreateInstance(CComObject** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto* object = new (std::nothrow) CComObject();
        if (!object) return E_OUTOFMEMORY;
        object->SetControllingUnknown(object->Identity());
        object->InternalAddRef();
        HRESULT hr = object->FinalConstruct();
        object->InternalRelease();
        if (FAILED(hr)) {
            delete object;
            return hr;
        }
        *out = object;
        return S_OK;
    }

    HRESULT QueryInterface(REFIID riid, void** out) override { return ComQueryInterface(this, Identity(), riid, out); }
    ULONG AddRef() override { return this->InternalAddRef(); }
    ULONG Release() override {
        const ULONG left = this->InternalRelease();
        if (left == 0) {
            this->InternalAddRef();  // guard against re-entry during FinalRelease
            this->FinalRelease();
            delete this;
        }
        return left;
    }
    IUnknown* Identity() { return static_cast<IUnknown*>(this->QueryInterfaceMap(IID_IUnknown)); }
};

// The inner object of an aggregate: its IUnknown calls go to the outer object.
template <class Base>
class CComContainedObject final : public Base {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        return this->GetControllingUnknown()->QueryInterface(riid, out);
    }
    ULONG AddRef() override { return this->GetControllingUnknown()->AddRef(); }
    ULONG Release() override { return this->GetControllingUnknown()->Release(); }
};

// The non-delegating unknown of an aggregated object.
template <class Base>
class CComAggObject final : public IUnknown {
public:
    explicit CComAggObject(IUnknown* outer) {
        ++ModuleLockCount();
        contained_.SetControllingUnknown(outer);
        contained_.SetAggregated(true);
    }
    ~CComAggObject() { --ModuleLockCount(); }

    static HRESULT CreateInstance(IUnknown* outer, CComAggObject** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!outer) return E_INVALIDARG;
        auto* object = new (std::nothrow) CComAggObject(outer);
        if (!object) return E_OUTOFMEMORY;
        object->refs_ = 1;
        HRESULT hr = object->contained_.FinalConstruct();
        object->refs_ = 0;
        if (FAILED(hr)) {
            delete object;
            return hr;
        }
        *out = object;
        return S_OK;
    }

    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return ComQueryInterface(&contained_, static_cast<IUnknown*>(contained_.QueryInterfaceMap(IID_IUnknown)), riid,
                                 out);
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) {
            ++refs_;
            contained_.FinalRelease();
            delete this;
        }
        return left;
    }
    Base& Inner() { return contained_; }

private:
    std::atomic<ULONG> refs_{0};
    CComContainedObject<Base> contained_;
};

// A class factory for Base, plain or aggregated.
template <class Base>
class CComClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) {
            if (riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
            CComAggObject<Base>* object = nullptr;
            HRESULT hr = CComAggObject<Base>::CreateInstance(outer, &object);
            if (FAILED(hr)) return hr;
            object->AddRef();
            hr = object->QueryInterface(riid, out);
            object->Release();
            return hr;
        }
        CComObject<Base>* object = nullptr;
        HRESULT hr = CComObject<Base>::CreateInstance(&object);
        if (FAILED(hr)) return hr;
        object->AddRef();
        hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock)
            ++ModuleLockCount();
        else
            --ModuleLockCount();
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{0};
};
