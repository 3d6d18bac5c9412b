// The in-place control side of the classes the catalogue marks as controls
// (a toolbox bitmap in their descriptor): IOleControl, IOleObject,
// IOleInPlaceObjectWindowless, IOleInPlaceActiveObject, IViewObjectEx,
// IPersistStreamInit, IPersistStorage, IQuickActivate, IDataObject and
// ISpecifyPropertyPages. A control has no user interface of its own: it keeps
// its site, extent and rectangles, and drawing outlines the given rectangle
// and writes "ATL 7.0 : ZR<Name>" centred in it. Every call is O(1) except
// Draw, O(rectangle area).
#pragma once

#include "framework/ClassDescriptor.h"
#include "platform/com/ComPtr.h"
#include "platform/com/OleControl.h"
#include "platform/imagelib/LabelDrawing.h"

#include <string>

constexpr HRESULT OLE_S_USEREG = 0x00040000;
constexpr DWORD kControlMiscStatus = 131473;  // the registered MiscStatus\1
constexpr DWORD HITRESULT_OUTSIDE = 0;
constexpr DWORD HITRESULT_HIT = 3;

template <class Derived>
class ControlImpl : public IOleControl,
                    public IOleObject,
                    public IOleInPlaceObjectWindowless,
                    public IOleInPlaceActiveObject,
                    public IViewObjectEx,
                    public IPersistStreamInit,
                    public IPersistStorage,
                    public IQuickActivate,
                    public IDataObject,
                    public ISpecifyPropertyPages {
public:
    // The interface for `riid` when the class is a control, else null.
    void* ControlInterface(REFIID riid) {
        if (Derived::kDescriptor.toolboxBitmap == 0) return nullptr;
        if (riid == IID_IOleControl) return static_cast<IOleControl*>(this);
        if (riid == IID_IOleObject) return static_cast<IOleObject*>(this);
        if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject || riid == IID_IOleInPlaceObjectWindowless)
            return static_cast<IOleInPlaceObjectWindowless*>(this);
        if (riid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
        if (riid == IID_IViewObject || riid == IID_IViewObject2 || riid == IID_IViewObjectEx)
            return static_cast<IViewObjectEx*>(this);
        if (riid == IID_IPersist || riid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
        if (riid == IID_IPersistStorage) return static_cast<IPersistStorage*>(this);
        if (riid == IID_IQuickActivate) return static_cast<IQuickActivate*>(this);
        if (riid == IID_IDataObject) return static_cast<IDataObject*>(this);
        if (riid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
        return nullptr;
    }

    // The text drawn on the control's face.
    static std::string FaceText() { return std::string("ATL 7.0 : ZR") + Derived::kDescriptor.name; }

    // --- IOleControl ---
    HRESULT GetControlInfo(void*) override { return E_NOTIMPL; }
    HRESULT OnMnemonic(LPMSG) override { return E_NOTIMPL; }
    HRESULT OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT FreezeEvents(BOOL) override { return S_OK; }

    // --- IOleObject ---
    HRESULT SetClientSite(IUnknown* site) override {
        site_ = site;
        return S_OK;
    }
    HRESULT GetClientSite(IUnknown** site) override {
        if (!site) return E_POINTER;
        *site = site_;
        if (*site) (*site)->AddRef();
        return S_OK;
    }
    HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT Close(DWORD) override {
        site_.Release();
        adviseSink_.Release();
        return S_OK;
    }
    HRESULT SetMoniker(DWORD, IUnknown*) override { return E_NOTIMPL; }
    HRESULT GetMoniker(DWORD, DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT InitFromData(IUnknown*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT GetClipboardData(DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT DoVerb(LONG, LPMSG, IUnknown*, LONG, HWND, const RECTL* position) override {
        if (position) position_ = *position;
        return S_OK;
    }
    HRESULT EnumVerbs(IUnknown**) override { return OLEOBJ_E_NOVERBS; }
    HRESULT Update() override { return S_OK; }
    HRESULT IsUpToDate() override { return S_OK; }
    HRESULT GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
    HRESULT GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT SetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!size) return E_POINTER;
        extent_ = *size;
        return S_OK;
    }
    HRESULT GetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!size) return E_POINTER;
        *size = extent_;
        return S_OK;
    }
    HRESULT Advise(IUnknown*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumAdvise(IUnknown**) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT GetMiscStatus(DWORD, DWORD* status) override {
        if (!status) return E_POINTER;
        *status = kControlMiscStatus;
        return S_OK;
    }
    HRESULT SetColorScheme(void*) override { return E_NOTIMPL; }

    // --- IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject ---
    HRESULT GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = nullptr;
        return E_FAIL;  // windowless
    }
    HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT InPlaceDeactivate() override { return S_OK; }
    HRESULT UIDeactivate() override { return S_OK; }
    HRESULT SetObjectRects(const RECTL* position, const RECTL*) override {
        if (!position) return E_POINTER;
        position_ = *position;
        return S_OK;
    }
    HRESULT ReactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT OnWindowMessage(UINT, std::uintptr_t, std::intptr_t, std::intptr_t* result) override {
        if (result) *result = 0;
        return S_FALSE;
    }
    HRESULT GetDropTarget(IUnknown**) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT ResizeBorder(const RECTL*, IUnknown*, BOOL) override { return S_OK; }
    HRESULT EnableModeless(BOOL) override { return S_OK; }

    // --- IViewObjectEx ---
    HRESULT Draw(DWORD aspect, LONG, void*, void*, HDC, HDC dc, const RECTL* bounds, const RECTL*,
                 BOOL (*)(std::uintptr_t), std::uintptr_t) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!dc || !bounds) return E_INVALIDARG;
        const int status = draw_labelled_frame(dc->bitmap, bounds->left, bounds->top, bounds->right, bounds->bottom,
                                               FaceText().c_str());
        if (status == IMG_OUT_OF_MEMORY) return E_OUTOFMEMORY;
        return status < 0 ? E_INVALIDARG : S_OK;
    }
    HRESULT GetColorSet(DWORD, LONG, void*, void*, HDC, void**) override { return E_NOTIMPL; }
    HRESULT Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT Unfreeze(DWORD) override { return E_NOTIMPL; }
    HRESULT SetAdvise(DWORD aspects, DWORD flags, IUnknown* sink) override {
        adviseAspects_ = aspects;
        adviseFlags_ = flags;
        adviseSink_ = sink;
        return S_OK;
    }
    HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IUnknown** sink) override {
        if (aspects) *aspects = adviseAspects_;
        if (flags) *flags = adviseFlags_;
        if (sink) {
            *sink = adviseSink_;
            if (*sink) (*sink)->AddRef();
        }
        return S_OK;
    }
    HRESULT GetExtent(DWORD aspect, LONG, void*, SIZEL* size) override { return GetExtent(aspect, size); }
    HRESULT GetRect(DWORD, RECTL*) override { return E_NOTIMPL; }
    HRESULT GetViewStatus(DWORD* status) override {
        if (!status) return E_POINTER;
        *status = VIEWSTATUS_OPAQUE;
        return S_OK;
    }
    HRESULT QueryHitPoint(DWORD aspect, const RECTL* bounds, POINTL location, LONG, DWORD* hit) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!bounds || !hit) return E_POINTER;
        const bool inside = location.x >= bounds->left && location.x < bounds->right && location.y >= bounds->top &&
                            location.y < bounds->bottom;
        *hit = inside ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    HRESULT QueryHitRect(DWORD aspect, const RECTL* bounds, const RECTL* location, LONG, DWORD* hit) override {
        if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
        if (!bounds || !location || !hit) return E_POINTER;
        const bool meets = location->left < bounds->right && location->right > bounds->left &&
                           location->top < bounds->bottom && location->bottom > bounds->top;
        *hit = meets ? HITRESULT_HIT : HITRESULT_OUTSIDE;
        return S_OK;
    }
    HRESULT GetNaturalExtent(DWORD, LONG, void*, HDC, void*, SIZEL*) override { return E_NOTIMPL; }

    // --- IPersist, IPersistStreamInit, IPersistStorage: a control's state is its XML ---
    HRESULT GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = *Derived::kDescriptor.clsid;
        return S_OK;
    }
    HRESULT IsDirty() override { return S_FALSE; }
    HRESULT Load(IStream*) override { return E_NOTIMPL; }
    HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT GetSizeMax(ULONGLONG*) override { return E_NOTIMPL; }
    HRESULT InitNew() override { return S_OK; }
    HRESULT InitNew(IStorage*) override { return S_OK; }
    HRESULT Load(IStorage*) override { return E_NOTIMPL; }
    HRESULT Save(IStorage*, BOOL) override { return E_NOTIMPL; }
    HRESULT SaveCompleted(IStorage*) override { return S_OK; }
    HRESULT HandsOffStorage() override { return S_OK; }

    // --- IQuickActivate ---
    HRESULT QuickActivate(void*, void*) override { return E_NOTIMPL; }
    HRESULT SetContentExtent(SIZEL* size) override { return SetExtent(DVASPECT_CONTENT, size); }
    HRESULT GetContentExtent(SIZEL* size) override { return GetExtent(DVASPECT_CONTENT, size); }

    // --- IDataObject: no data formats to offer ---
    HRESULT GetData(void*, void*) override { return DV_E_FORMATETC; }
    HRESULT GetDataHere(void*, void*) override { return DV_E_FORMATETC; }
    HRESULT QueryGetData(void*) override { return DV_E_FORMATETC; }
    HRESULT GetCanonicalFormatEtc(void*, void*) override { return E_NOTIMPL; }
    HRESULT SetData(void*, void*, BOOL) override { return E_NOTIMPL; }
    HRESULT EnumFormatEtc(DWORD, IUnknown**) override { return E_NOTIMPL; }
    HRESULT DAdvise(void*, DWORD, IUnknown*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IUnknown**) override { return OLE_E_ADVISENOTSUPPORTED; }

    // --- ISpecifyPropertyPages: none ---
    HRESULT GetPages(CAUUID* pages) override {
        if (!pages) return E_POINTER;
        pages->cElems = 0;
        pages->pElems = nullptr;
        return S_OK;
    }

protected:
    ~ControlImpl() = default;

private:
    CComPtr<IUnknown> site_;
    CComPtr<IUnknown> adviseSink_;
    DWORD adviseAspects_ = 0;
    DWORD adviseFlags_ = 0;
    SIZEL extent_{2540, 2540};  // 1 inch in hundredths of a millimetre
    RECTL position_{0, 0, 0, 0};
};
