// The free-threaded marshaler: an aggregatable IMarshal that hands out the
// raw pointer in-process. Here every call stays in one process, so its
// operations only answer; O(1).
#include "platform/com/Activation.h"
#include "platform/com/ComObject.h"

namespace {

class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown* outer) : outer_(outer) {}

    // Non-delegating unknown handed to the aggregating object.
    class Inner final : public IUnknown {
    public:
        explicit Inner(FreeThreadedMarshaler* owner) : owner_(owner) {}
        HRESULT QueryInterface(REFIID riid, void** out) override {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (riid == IID_IUnknown) {
                *out = static_cast<IUnknown*>(this);
            } else if (riid == IID_IMarshal) {
                *out = static_cast<IMarshal*>(owner_);
            } else {
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*out)->AddRef();
            return S_OK;
        }
        ULONG AddRef() override { return ++refs_; }
        ULONG Release() override {
            const ULONG left = --refs_;
            if (left == 0) delete owner_;
            return left;
        }

    private:
        FreeThreadedMarshaler* owner_;
        std::atomic<ULONG> refs_{0};
    };

    HRESULT QueryInterface(REFIID riid, void** out) override { return outer_->QueryInterface(riid, out); }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }
    HRESULT GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = kClsid;
        return S_OK;
    }
    HRESULT GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* size) override {
        if (!size) return E_POINTER;
        *size = sizeof(void*) + sizeof(GUID);
        return S_OK;
    }
    HRESULT MarshalInterface(void*, REFIID, void*, DWORD, void*, DWORD) override { return S_FALSE; }
    HRESULT UnmarshalInterface(void*, REFIID, void**) override { return S_FALSE; }
    HRESULT ReleaseMarshalData(void*) override { return S_FALSE; }
    HRESULT DisconnectObject(DWORD) override { return S_OK; }

    Inner inner{this};

private:
    static constexpr CLSID kClsid = MakeGuid("{0000033A-0000-0000-C000-000000000046}");
    IUnknown* outer_;
};

}  // namespace

HRESULT CoCreateFreeThreadedMarshaler(IUnknown* outer, IUnknown** marshaler) {
    if (!marshaler) return E_POINTER;
    *marshaler = nullptr;
    if (!outer) return E_INVALIDARG;
    auto* object = new (std::nothrow) FreeThreadedMarshaler(outer);
    if (!object) return E_OUTOFMEMORY;
    object->inner.AddRef();
    *marshaler = &object->inner;
    return S_OK;
}
