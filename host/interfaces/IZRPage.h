// The page a host hands to Process: its image, number, container, status
// messages and three companion part files. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPage = MakeGuid("{AE64860A-C9EE-44B4-A400-E4FD30E5F077}");

struct IZRImage;
struct IZRPageContainer;
struct IZRPagePartA;
struct IZRPagePartB;
struct IZRPagePartC;
struct IZRStatusMessages;

struct IZRPage : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPage; }
    virtual HRESULT GetFileName(BSTR* name) = 0;                      // 7
    virtual HRESULT GetPageIndex(LONG* index) = 0;                    // 8
    virtual HRESULT IsRemoved(VARIANT_BOOL* removed) = 0;             // 9
    virtual HRESULT SetImage(IZRImage* image) = 0;                    // 10
    virtual HRESULT GetContainer(IZRPageContainer** container) = 0;   // 11
    virtual HRESULT SetPageNumber(LONG number) = 0;                   // 12
    virtual HRESULT GetName(BSTR* name) = 0;                          // 13
    virtual HRESULT SetName(BSTR name) = 0;                           // 14
    virtual HRESULT GetImage(IZRImage** image) = 0;                   // 15
    virtual HRESULT HasImage(VARIANT_BOOL* has) = 0;                  // 16
    virtual HRESULT GetTextPart(IZRPagePartA** part) = 0;             // 17
    virtual HRESULT SetTextPart(IZRPagePartA* part) = 0;              // 18
    virtual HRESULT GetThumbnailPart(IZRPagePartB** part) = 0;        // 19
    virtual HRESULT SetThumbnailPart(IZRPagePartB* part) = 0;         // 20
    virtual HRESULT GetMetadataPart(IZRPagePartC** part) = 0;         // 21
    virtual HRESULT SetMetadataPart(IZRPagePartC* part) = 0;          // 22
    virtual HRESULT GetPageNumber(LONG* number) = 0;                  // 23
    virtual HRESULT GetStatusMessages(IZRStatusMessages** list) = 0;  // 24

protected:
    ~IZRPage() = default;
};
