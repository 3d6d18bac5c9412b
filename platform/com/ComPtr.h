// Owning smart pointers and wrappers: CComPtr (interface), CComBSTR (string),
// CComVariant (value). Header only; O(1) except string copies.
#pragma once

#include "platform/com/Unknown.h"

#include <memory>
#include <string>
#include <utility>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    CComPtr(T* p) : p_(p) {  // NOLINT(google-explicit-constructor)
        if (p_) p_->AddRef();
    }
    CComPtr(const CComPtr& other) : CComPtr(other.p_) {}
    CComPtr(CComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~CComPtr() { Release(); }
    CComPtr& operator=(const CComPtr& other) {
        if (this != std::addressof(other)) {
            if (other.p_) other.p_->AddRef();
            Release();
            p_ = other.p_;
        }
        return *this;
    }
    CComPtr& operator=(CComPtr&& other) noexcept {
        if (this != std::addressof(other)) {
            Release();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    CComPtr& operator=(T* p) {
        if (p) p->AddRef();
        Release();
        p_ = p;
        return *this;
    }
    void Release() {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }
    void Attach(T* p) {
        Release();
        p_ = p;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    T** operator&() { return &p_; }  // NOLINT: COM out-parameter idiom; pointer must be empty
    T* operator->() const { return p_; }
    operator T*() const { return p_; }  // NOLINT(google-explicit-constructor)
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    template <class Q>
    HRESULT QueryInterface(Q** out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(Q::iid(), reinterpret_cast<void**>(out));
    }
    HRESULT CopyTo(T** out) const {
        if (!out) return E_POINTER;
        *out = p_;
        if (p_) p_->AddRef();
        return S_OK;
    }

    T* p_ = nullptr;
};

class CComBSTR {
public:
    CComBSTR() = default;
    explicit CComBSTR(const OLECHAR* text) : s_(SysAllocString(text)) {}
    explicit CComBSTR(std::u16string_view text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    explicit CComBSTR(std::string_view utf8) : s_(Utf8ToBstr(utf8)) {}
    explicit CComBSTR(const char* utf8) : s_(Utf8ToBstr(utf8 ? utf8 : "")) {}
    CComBSTR(const CComBSTR& other) : s_(other.Copy()) {}
    CComBSTR(CComBSTR&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    ~CComBSTR() { SysFreeString(s_); }
    CComBSTR& operator=(const CComBSTR& other) {
        if (this != std::addressof(other)) {
            BSTR copy = other.Copy();
            SysFreeString(s_);
            s_ = copy;
        }
        return *this;
    }
    CComBSTR& operator=(CComBSTR&& other) noexcept {
        if (this != std::addressof(other)) {
            SysFreeString(s_);
            s_ = std::exchange(other.s_, nullptr);
        }
        return *this;
    }
    BSTR Copy() const { return s_ ? SysAllocStringLen(s_, SysStringLen(s_)) : nullptr; }
    BSTR Detach() { return std::exchange(s_, nullptr); }
    void Attach(BSTR s) {
        SysFreeString(s_);
        s_ = s;
    }
    void Empty() { Attach(nullptr); }
    BSTR* operator&() { return &s_; }     // NOLINT: COM out-parameter idiom
    operator BSTR() const { return s_; }  // NOLINT(google-explicit-constructor)
    UINT Length() const { return SysStringLen(s_); }
    std::u16string_view view() const { return s_ ? std::u16string_view(s_, Length()) : std::u16string_view(); }
    std::string utf8() const { return BstrToUtf8(s_); }
    BSTR m_str() const { return s_; }

private:
    BSTR s_ = nullptr;
};

class CComVariant : public VARIANT {
public:
    CComVariant() { VariantInit(this); }
    CComVariant(const VARIANT& v) {  // NOLINT(google-explicit-constructor)
        VariantInit(this);
        VariantCopy(this, &v);
    }
    CComVariant(const CComVariant& v) : CComVariant(static_cast<const VARIANT&>(v)) {}
    CComVariant(CComVariant&& v) noexcept {
        *static_cast<VARIANT*>(this) = static_cast<VARIANT&>(v);
        VariantInit(&v);
    }
    explicit CComVariant(SHORT value, VARTYPE type = VT_I2) {
        VariantInit(this);
        vt = type;
        if (type == VT_BOOL)
            boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        else
            iVal = value;
    }
    explicit CComVariant(LONG value, VARTYPE type = VT_I4) {
        VariantInit(this);
        vt = type;
        lVal = value;
    }
    explicit CComVariant(double value) {
        VariantInit(this);
        vt = VT_R8;
        dblVal = value;
    }
    explicit CComVariant(bool value) {
        VariantInit(this);
        vt = VT_BOOL;
        boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    explicit CComVariant(std::string_view utf8) {
        VariantInit(this);
        vt = VT_BSTR;
        bstrVal = Utf8ToBstr(utf8);
    }
    explicit CComVariant(const char* utf8) : CComVariant(std::string_view(utf8 ? utf8 : "")) {}
    // VT_UNKNOWN holding a reference of its own.
    explicit CComVariant(IUnknown* object) {
        VariantInit(this);
        vt = VT_UNKNOWN;
        punkVal = object;
        if (object) object->AddRef();
    }
    ~CComVariant() { VariantClear(this); }
    CComVariant& operator=(const CComVariant& v) {
        if (this != &v) VariantCopy(this, &v);
        return *this;
    }
    CComVariant& operator=(CComVariant&& v) noexcept {
        if (this != &v) {
            VariantClear(this);
            *static_cast<VARIANT*>(this) = static_cast<VARIANT&>(v);
            VariantInit(&v);
        }
        return *this;
    }
    HRESULT Clear() { return VariantClear(this); }
    HRESULT Copy(const VARIANT* src) { return VariantCopy(this, src); }
    HRESULT Detach(VARIANT* dest) {
        if (!dest) return E_POINTER;
        VariantClear(dest);
        *dest = *static_cast<VARIANT*>(this);
        VariantInit(this);
        return S_OK;
    }
    HRESULT ChangeType(VARTYPE type) { return VariantChangeType(this, this, 0, type); }
};
