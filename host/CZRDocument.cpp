// Document (page container).
#include "host/CZRDocument.h"

#include "host/OwnedVariant.h"

CZRDocument::~CZRDocument() {
    for (auto& page : pages_) page->Detach();
}

CComPtr<CZRPage> CZRDocument::AppendPage(int handle) {
    CComPtr<CZRPage> page = Create<CZRPage>();
    if (!page) return nullptr;
    CComPtr<CZRImage> image;
    if (handle >= 0) {
        image = Create<CZRImage>();
        if (!image) return nullptr;
        image->Attach(handle, filePath_);
    }
    page->Setup(this, static_cast<LONG>(pages_.size() + 1), image);
    pages_.push_back(page);
    return page;
}

HRESULT CZRDocument::GetFilePath(BSTR* path) {
    if (!path) return E_POINTER;
    *path = Utf8ToBstr(filePath_);
    return S_OK;
}

HRESULT CZRDocument::GetPageCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(pages_.size());
    return S_OK;
}

HRESULT CZRDocument::GetPage(LONG number, IZRPage** page) {
    if (!page) return E_POINTER;
    *page = nullptr;
    if (number < 1 || static_cast<std::size_t>(number) > pages_.size()) return DISP_E_BADINDEX;
    *page = pages_[static_cast<std::size_t>(number - 1)].get();
    (*page)->AddRef();
    return S_OK;
}

HRESULT CZRDocument::GetToken(BSTR key, VARIANT* value) {
    if (!value) return E_POINTER;
    auto it = tokens_.find(key ? std::u16string(key, SysStringLen(key)) : std::u16string());
    if (it == tokens_.end()) return DISP_E_UNKNOWNNAME;
    VariantInit(value);
    return VariantCopy(value, &it->second);
}

HRESULT CZRDocument::SetToken(BSTR key, VARIANT value) {
    CComVariant owned;
    const HRESULT hr = CopyOwnedValue(value, &owned);
    if (FAILED(hr)) return hr;
    tokens_[key ? std::u16string(key, SysStringLen(key)) : std::u16string()] = std::move(owned);
    return S_OK;
}

HRESULT CZRDocument::RemoveToken(BSTR key) {
    tokens_.erase(key ? std::u16string(key, SysStringLen(key)) : std::u16string());
    return S_OK;
}

HRESULT CZRDocument::AddPage(IZRPage*) { return E_NOTIMPL; }

HRESULT CZRDocument::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = Utf8ToBstr(name_);
    return S_OK;
}

HRESULT CZRDocument::SetName(BSTR name) {
    name_ = BstrToUtf8(name);
    return S_OK;
}

HRESULT CZRDocument::IsModified(VARIANT_BOOL* modified) {
    if (!modified) return E_POINTER;
    *modified = modified_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRDocument::SetModified(VARIANT_BOOL modified) {
    modified_ = modified != VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRDocument::GetRemovedCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(removed_.size());
    return S_OK;
}

HRESULT CZRDocument::IsPageRemoved(LONG number, VARIANT_BOOL* removed) {
    if (!removed) return E_POINTER;
    *removed = Removed(number) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRDocument::RemovePage(LONG number) {
    if (number < 1 || static_cast<std::size_t>(number) > pages_.size()) return DISP_E_BADINDEX;
    removed_.insert(number);
    modified_ = true;
    return S_OK;
}
