// IMarshal of a process: its own CLSID as unmarshal class for IZRProcessEx,
// IDispatch and IUnknown; everything else goes to the aggregated
// free-threaded marshaler. O(1).
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/Activation.h"
#include "platform/com/ComPtr.h"

template <const CLSID& Clsid>
class MarshalerImpl : public IMarshal {
public:
    HRESULT GetUnmarshalClass(REFIID riid, void* object, DWORD context, void* reserved, DWORD flags,
                              CLSID* clsid) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZRProcessEx) {
            if (!clsid) return E_POINTER;
            *clsid = Clsid;
            return S_OK;
        }
        return WithMarshaler(
            [&](IMarshal* m) { return m->GetUnmarshalClass(riid, object, context, reserved, flags, clsid); });
    }
    HRESULT GetMarshalSizeMax(REFIID riid, void* object, DWORD context, void* reserved, DWORD flags,
                              DWORD* size) override {
        return WithMarshaler(
            [&](IMarshal* m) { return m->GetMarshalSizeMax(riid, object, context, reserved, flags, size); });
    }
    HRESULT MarshalInterface(void* stream, REFIID riid, void* object, DWORD context, void* reserved,
                             DWORD flags) override {
        return WithMarshaler(
            [&](IMarshal* m) { return m->MarshalInterface(stream, riid, object, context, reserved, flags); });
    }
    HRESULT UnmarshalInterface(void* stream, REFIID riid, void** object) override {
        return WithMarshaler([&](IMarshal* m) { return m->UnmarshalInterface(stream, riid, object); });
    }
    HRESULT ReleaseMarshalData(void* stream) override {
        return WithMarshaler([&](IMarshal* m) { return m->ReleaseMarshalData(stream); });
    }
    HRESULT DisconnectObject(DWORD reserved) override {
        return WithMarshaler([&](IMarshal* m) { return m->DisconnectObject(reserved); });
    }

protected:
    ~MarshalerImpl() = default;
    // Aggregates the free-threaded marshaler on the controlling unknown.
    HRESULT CreateMarshaler(IUnknown* controlling) {
        marshaler_.Release();
        return CoCreateFreeThreadedMarshaler(controlling, &marshaler_);
    }
    void ReleaseMarshaler() { marshaler_.Release(); }

private:
    template <class Call>
    HRESULT WithMarshaler(Call&& call) {
        if (!marshaler_) return E_UNEXPECTED;
        IMarshal* inner = nullptr;
        HRESULT hr = marshaler_->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&inner));
        if (FAILED(hr)) return hr;
        hr = call(inner);
        inner->Release();
        return hr;
    }
    CComPtr<IUnknown> marshaler_;
};
