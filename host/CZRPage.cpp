// Page object.
#include "host/CZRPage.h"

HRESULT CZRPage::FinalConstruct() {
    messages_ = Create<CZRStatusMessages>();
    return messages_ ? S_OK : E_OUTOFMEMORY;
}

void CZRPage::Setup(IZRPageContainer* container, LONG number, CZRImage* image) {
    container_ = container;
    number_ = number;
    image_ = image;
}

HRESULT CZRPage::GetFileName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (container_) return container_->GetFilePath(name);
    *name = SysAllocString(u"");
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT CZRPage::GetPageIndex(LONG* index) {
    if (!index) return E_POINTER;
    *index = number_ - 1;
    return S_OK;
}

HRESULT CZRPage::IsRemoved(VARIANT_BOOL* removed) {
    if (!removed) return E_POINTER;
    *removed = VARIANT_FALSE;
    return container_ ? container_->IsPageRemoved(number_, removed) : S_OK;
}

HRESULT CZRPage::SetImage(IZRImage* image) {
    if (!image) {
        image_.Release();
        return S_OK;
    }
    // Only the host's own image objects can be attached.
    CZRImage* own = dynamic_cast<CZRImage*>(image);
    if (!own) return E_INVALIDARG;
    image_ = own;
    return S_OK;
}

HRESULT CZRPage::GetContainer(IZRPageContainer** container) {
    if (!container) return E_POINTER;
    *container = container_;
    if (container_) container_->AddRef();
    return S_OK;
}

HRESULT CZRPage::SetPageNumber(LONG number) {
    number_ = number;
    return S_OK;
}

HRESULT CZRPage::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = Utf8ToBstr(name_);
    return S_OK;
}

HRESULT CZRPage::SetName(BSTR name) {
    name_ = BstrToUtf8(name);
    return S_OK;
}

HRESULT CZRPage::GetImage(IZRImage** image) {
    if (!image) return E_POINTER;
    *image = image_.get();
    if (*image) (*image)->AddRef();
    return S_OK;
}

HRESULT CZRPage::HasImage(VARIANT_BOOL* has) {
    if (!has) return E_POINTER;
    *has = image_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRPage::GetPageNumber(LONG* number) {
    if (!number) return E_POINTER;
    *number = number_;
    return S_OK;
}

HRESULT CZRPage::GetStatusMessages(IZRStatusMessages** list) {
    if (!list) return E_POINTER;
    *list = messages_.get();
    if (*list) (*list)->AddRef();
    return S_OK;
}
