// The in-place control interfaces a control class carries (IOleControl,
// IOleObject, IOleInPlaceObjectWindowless, IOleInPlaceActiveObject,
// IViewObjectEx, IPersistStreamInit, IPersistStorage, IQuickActivate,
// IDataObject, ISpecifyPropertyPages), with their methods in vtable order.
// Stands in for the Windows SDK's oleidl/ocidl headers. Structures no caller
// of ours fills in travel as opaque pointers. Handles: a device context is an
// image library bitmap to draw on (DrawingContext). Header only.
#pragma once

#include "platform/com/Unknown.h"

struct RECTL {
    LONG left, top, right, bottom;
};
struct SIZEL {
    LONG cx, cy;
};
struct POINTL {
    LONG x, y;
};
// What Draw paints on: a bitmap of the image library.
struct DrawingContext {
    int bitmap = -1;
};
using HDC = DrawingContext*;
using HWND = void*;
using HMENU = void*;
using HACCEL = void*;
using LPMSG = void*;
struct IStream;  // persistence media: never opened by a process
struct IStorage;
struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};

constexpr IID IID_IOleControl = MakeGuid("{B196B288-BAB4-101A-B69C-00AA00341D07}");
constexpr IID IID_IOleObject = MakeGuid("{00000112-0000-0000-C000-000000000046}");
constexpr IID IID_IOleWindow = MakeGuid("{00000114-0000-0000-C000-000000000046}");
constexpr IID IID_IOleInPlaceObject = MakeGuid("{00000113-0000-0000-C000-000000000046}");
constexpr IID IID_IOleInPlaceObjectWindowless = MakeGuid("{1C2056CC-5EF4-101B-8BC8-00AA003E3B29}");
constexpr IID IID_IOleInPlaceActiveObject = MakeGuid("{00000117-0000-0000-C000-000000000046}");
constexpr IID IID_IViewObject = MakeGuid("{0000010D-0000-0000-C000-000000000046}");
constexpr IID IID_IViewObject2 = MakeGuid("{00000127-0000-0000-C000-000000000046}");
constexpr IID IID_IViewObjectEx = MakeGuid("{3AF24292-0C96-11CE-A0CF-00AA00600AB8}");
constexpr IID IID_IPersist = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
constexpr IID IID_IPersistStreamInit = MakeGuid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
constexpr IID IID_IPersistStorage = MakeGuid("{0000010A-0000-0000-C000-000000000046}");
constexpr IID IID_IQuickActivate = MakeGuid("{CF51ED10-62FE-11CF-BF86-00A0C9034836}");
constexpr IID IID_IDataObject = MakeGuid("{0000010E-0000-0000-C000-000000000046}");
constexpr IID IID_ISpecifyPropertyPages = MakeGuid("{B196B28B-BAB4-101A-B69C-00AA00341D07}");

constexpr HRESULT OLE_E_NOTRUNNING = static_cast<HRESULT>(0x80040005u);
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT OLEOBJ_E_NOVERBS = static_cast<HRESULT>(0x80040180u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD VIEWSTATUS_OPAQUE = 1;

struct IOleControl : IUnknown {
    virtual HRESULT GetControlInfo(void* info) = 0;
    virtual HRESULT OnMnemonic(LPMSG message) = 0;
    virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
    virtual HRESULT FreezeEvents(BOOL freeze) = 0;

protected:
    ~IOleControl() = default;
};

struct IOleObject : IUnknown {
    virtual HRESULT SetClientSite(IUnknown* site) = 0;
    virtual HRESULT GetClientSite(IUnknown** site) = 0;
    virtual HRESULT SetHostNames(LPCOLESTR application, LPCOLESTR object) = 0;
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT SetMoniker(DWORD which, IUnknown* moniker) = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IUnknown** moniker) = 0;
    virtual HRESULT InitFromData(IUnknown* data, BOOL creation, DWORD reserved) = 0;
    virtual HRESULT GetClipboardData(DWORD reserved, IUnknown** data) = 0;
    virtual HRESULT DoVerb(LONG verb, LPMSG message, IUnknown* site, LONG index, HWND parent,
                           const RECTL* position) = 0;
    virtual HRESULT EnumVerbs(IUnknown** verbs) = 0;
    virtual HRESULT Update() = 0;
    virtual HRESULT IsUpToDate() = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    virtual HRESULT GetUserType(DWORD form, LPOLESTR* type) = 0;
    virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
    virtual HRESULT Advise(IUnknown* sink, DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IUnknown** advises) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
    virtual HRESULT SetColorScheme(void* palette) = 0;

protected:
    ~IOleObject() = default;
};

struct IOleWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enter) = 0;

protected:
    ~IOleWindow() = default;
};

struct IOleInPlaceObject : IOleWindow {
    virtual HRESULT InPlaceDeactivate() = 0;
    virtual HRESULT UIDeactivate() = 0;
    virtual HRESULT SetObjectRects(const RECTL* position, const RECTL* clip) = 0;
    virtual HRESULT ReactivateAndUndo() = 0;

protected:
    ~IOleInPlaceObject() = default;
};

struct IOleInPlaceObjectWindowless : IOleInPlaceObject {
    virtual HRESULT OnWindowMessage(UINT message, std::uintptr_t wParam, std::intptr_t lParam,
                                    std::intptr_t* result) = 0;
    virtual HRESULT GetDropTarget(IUnknown** target) = 0;

protected:
    ~IOleInPlaceObjectWindowless() = default;
};

struct IOleInPlaceActiveObject : IOleWindow {
    virtual HRESULT TranslateAccelerator(LPMSG message) = 0;
    virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
    virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
    virtual HRESULT ResizeBorder(const RECTL* border, IUnknown* window, BOOL frame) = 0;
    virtual HRESULT EnableModeless(BOOL enable) = 0;

protected:
    ~IOleInPlaceActiveObject() = default;
};

struct IViewObjectEx : IUnknown {
    // IViewObject
    virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, void* target, HDC targetDevice, HDC dc,
                         const RECTL* bounds, const RECTL* window, BOOL (*cont)(std::uintptr_t),
                         std::uintptr_t contArgument) = 0;
    virtual HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, void* target, HDC targetDevice,
                                void** colours) = 0;
    virtual HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) = 0;
    virtual HRESULT Unfreeze(DWORD freeze) = 0;
    virtual HRESULT SetAdvise(DWORD aspects, DWORD flags, IUnknown* sink) = 0;
    virtual HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IUnknown** sink) = 0;
    // IViewObject2
    virtual HRESULT GetExtent(DWORD aspect, LONG index, void* target, SIZEL* size) = 0;
    // IViewObjectEx
    virtual HRESULT GetRect(DWORD aspect, RECTL* rect) = 0;
    virtual HRESULT GetViewStatus(DWORD* status) = 0;
    virtual HRESULT QueryHitPoint(DWORD aspect, const RECTL* bounds, POINTL location, LONG closeHint, DWORD* hit) = 0;
    virtual HRESULT QueryHitRect(DWORD aspect, const RECTL* bounds, const RECTL* location, LONG closeHint,
                                 DWORD* hit) = 0;
    virtual HRESULT GetNaturalExtent(DWORD aspect, LONG index, void* target, HDC targetDevice, void* info,
                                     SIZEL* size) = 0;

protected:
    ~IViewObjectEx() = default;
};

struct IPersistStreamInit : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;  // IPersist
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
    virtual HRESULT GetSizeMax(ULONGLONG* size) = 0;
    virtual HRESULT InitNew() = 0;

protected:
    ~IPersistStreamInit() = default;
};

struct IPersistStorage : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;  // IPersist
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT InitNew(IStorage* storage) = 0;
    virtual HRESULT Load(IStorage* storage) = 0;
    virtual HRESULT Save(IStorage* storage, BOOL sameAsLoad) = 0;
    virtual HRESULT SaveCompleted(IStorage* storage) = 0;
    virtual HRESULT HandsOffStorage() = 0;

protected:
    ~IPersistStorage() = default;
};

struct IQuickActivate : IUnknown {
    virtual HRESULT QuickActivate(void* container, void* control) = 0;
    virtual HRESULT SetContentExtent(SIZEL* size) = 0;
    virtual HRESULT GetContentExtent(SIZEL* size) = 0;

protected:
    ~IQuickActivate() = default;
};

struct IDataObject : IUnknown {
    virtual HRESULT GetData(void* format, void* medium) = 0;
    virtual HRESULT GetDataHere(void* format, void* medium) = 0;
    virtual HRESULT QueryGetData(void* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(void* in, void* out) = 0;
    virtual HRESULT SetData(void* format, void* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IUnknown** formats) = 0;
    virtual HRESULT DAdvise(void* format, DWORD flags, IUnknown* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IUnknown** advises) = 0;

protected:
    ~IDataObject() = default;
};

struct ISpecifyPropertyPages : IUnknown {
    virtual HRESULT GetPages(CAUUID* pages) = 0;

protected:
    ~ISpecifyPropertyPages() = default;
};
