// IDispatch for objects without a type library: GetTypeInfoCount answers 0,
// GetTypeInfo DISP_E_BADINDEX for any index but 0 (E_NOTIMPL for 0), and
// names/invocations go through an optional table the object supplies.
// Header only; O(n) name lookup.
#pragma once

#include "platform/com/Unknown.h"

#include <string_view>

struct DispatchName {
    const char16_t* name;
    DISPID id;
};

template <class Interface>
class DispatchImpl : public Interface {
public:
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        return index == 0 ? E_NOTIMPL : DISP_E_BADINDEX;
    }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = -1;
            if (!names[i]) {
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            bool found = false;
            for (const DispatchName& entry : DispatchNames()) {
                if (std::u16string_view(entry.name) == std::u16string_view(names[i])) {
                    ids[i] = entry.id;
                    found = true;
                    break;
                }
            }
            if (!found) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    // Objects that want late-bound names override this.
    virtual std::basic_string_view<DispatchName> DispatchNames() const { return {}; }
    ~DispatchImpl() = default;
};
