// A page of a document: its 1-based number, its image (may be none), its
// status messages and its container. The page knows its container only
// through IZRPageContainer and holds it weakly (the container owns its pages
// and detaches them when it goes). O(1).
#pragma once

#include "host/CZRImage.h"
#include "host/CZRStatusMessages.h"
#include "host/interfaces/IZRPage.h"
#include "host/interfaces/IZRPageContainer.h"

class ZR_HOST_API CZRPage : public HostObject<IZRPage> {
public:
    HRESULT FinalConstruct();
    void Setup(IZRPageContainer* container, LONG number, CZRImage* image);
    CZRImage* Image() const { return image_; }
    CZRStatusMessages* Messages() const { return messages_; }
    void Detach() { container_ = nullptr; }

    HRESULT GetFileName(BSTR* name) override;
    HRESULT GetPageIndex(LONG* index) override;
    HRESULT IsRemoved(VARIANT_BOOL* removed) override;
    HRESULT SetImage(IZRImage* image) override;
    HRESULT GetContainer(IZRPageContainer** container) override;
    HRESULT SetPageNumber(LONG number) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT SetName(BSTR name) override;
    HRESULT GetImage(IZRImage** image) override;
    HRESULT HasImage(VARIANT_BOOL* has) override;
    HRESULT GetTextPart(IZRPagePartA** part) override { return NoPart(part); }
    HRESULT SetTextPart(IZRPagePartA*) override { return E_NOTIMPL; }
    HRESULT GetThumbnailPart(IZRPagePartB** part) override { return NoPart(part); }
    HRESULT SetThumbnailPart(IZRPagePartB*) override { return E_NOTIMPL; }
    HRESULT GetMetadataPart(IZRPagePartC** part) override { return NoPart(part); }
    HRESULT SetMetadataPart(IZRPagePartC*) override { return E_NOTIMPL; }
    HRESULT GetPageNumber(LONG* number) override;
    HRESULT GetStatusMessages(IZRStatusMessages** list) override;

private:
    template <class T>
    static HRESULT NoPart(T** part) {
        if (!part) return E_POINTER;
        *part = nullptr;
        return S_OK;
    }
    IZRPageContainer* container_ = nullptr;  // weak
    LONG number_ = 0;
    CComPtr<CZRImage> image_;
    CComPtr<CZRStatusMessages> messages_;
    std::string name_;
};
