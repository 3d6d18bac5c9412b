// The container of pages (a document): its pages, per-document tokens and
// the pages removed from the output. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPageContainer = MakeGuid("{7A1D2C42-5B8E-4F61-9C3A-2E4B6D8F0A11}");

struct IZRPage;

struct IZRPageContainer : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPageContainer; }
    virtual HRESULT GetFilePath(BSTR* path) = 0;                            // 7
    virtual HRESULT GetPageCount(LONG* count) = 0;                          // 8
    virtual HRESULT GetPage(LONG number, IZRPage** page) = 0;               // 9
    virtual HRESULT GetToken(BSTR key, VARIANT* value) = 0;                 // 10
    virtual HRESULT SetToken(BSTR key, VARIANT value) = 0;                  // 11
    virtual HRESULT RemoveToken(BSTR key) = 0;                              // 12
    virtual HRESULT AddPage(IZRPage* page) = 0;                             // 13
    virtual HRESULT InsertPage(LONG number, IZRPage* page) = 0;             // 14
    virtual HRESULT MovePage(LONG from, LONG to) = 0;                       // 15
    virtual HRESULT GetName(BSTR* name) = 0;                                // 16
    virtual HRESULT SetName(BSTR name) = 0;                                 // 17
    virtual HRESULT IsModified(VARIANT_BOOL* modified) = 0;                 // 18
    virtual HRESULT SetModified(VARIANT_BOOL modified) = 0;                 // 19
    virtual HRESULT GetRemovedCount(LONG* count) = 0;                       // 20
    virtual HRESULT IsPageRemoved(LONG number, VARIANT_BOOL* removed) = 0;  // 21
    virtual HRESULT Reserved22() = 0;                                       // 22
    virtual HRESULT RemovePage(LONG number) = 0;                            // 23

protected:
    ~IZRPageContainer() = default;
};
