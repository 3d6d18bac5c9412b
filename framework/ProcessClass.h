// The class-level shell of a process: its interface map (IZRProcessEx,
// IDispatch, ISupportErrorInfo, IMarshal, IConnectionPointContainer),
// FinalConstruct (free-threaded marshaler, the core's construction, the
// class's property table and type code, all read from its descriptor),
// FinalRelease, class information (IProvideClassInfo2), the control
// interfaces of classes marked as controls, typed property reads, the common frame of Process, and two
// late-bound members for hosts: "PropertyDescription" (a property's meaning)
// and "ShouldProcessPage" (the page filter). A concrete class derives from
// ProcessClass<Self, Core, Events> and supplies its kDescriptor and Process.
#pragma once

#include "framework/CZRProgressTracker.h"
#include "framework/ClassCatalogue.h"
#include "framework/ControlImpl.h"
#include "framework/MarshalerImpl.h"
#include "framework/PropertyDecl.h"
#include "framework/ZoneProcessExImpl.h"
#include "platform/com/ComObject.h"

#include <new>
#include <span>
#include <type_traits>

enum class CoreConstruction { Full, WithoutZones };

// Late-bound members every process answers through IDispatch.
constexpr DISPID DISPID_PROPERTYDESCRIPTION = 1001;  // (BSTR key) -> BSTR meaning, "" for an unknown key
constexpr DISPID DISPID_SHOULDPROCESSPAGE = 1002;    // (IUnknown page) -> VT_BOOL

// The factory a descriptor names: CComClassFactory of the class.
template <class T>
IClassFactory* MakeClassFactory() {
    return new (std::nothrow) CComClassFactory<T>();
}

template <class Derived, class Core, class Events = CZRProgressTracker,
          CoreConstruction Construction = CoreConstruction::Full>
class ProcessClass : public CComObjectRootEx,
                     public ISupportErrorInfo,
                     public IProvideClassInfo2,
                     public Core,
                     public MarshalerImpl<Core::kClsid>,
                     public Events,
                     public ControlImpl<Derived> {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IZRProcessEx || riid == IID_IDispatch)
            return static_cast<IZRProcessEx*>(this);
        if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
        if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
            return static_cast<IProvideClassInfo2*>(this);
        if (riid == IID_IMarshal) return static_cast<IMarshal*>(this);
        if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
        return this->ControlInterface(riid);
    }

    // --- IProvideClassInfo2: no type library on this platform; the event
    // interface is still named for hosts that look for it ---
    HRESULT GetClassInfo(ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT GetGUID(DWORD kind, GUID* guid) override {
        if (!guid) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *guid = IID_IZRProcessExEvents;
        return S_OK;
    }

    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override { return riid == IID_IZRProcessEx ? S_OK : S_FALSE; }

    HRESULT FinalConstruct() {
        const ClassDescriptor& descriptor = Derived::kDescriptor;
        const std::string text = std::string(descriptor.className) + "::FinalConstruct";
        return RunGuarded(text.c_str(), IID_IZRProcessEx, [&] {
            ThrowIfFailed(this->CreateMarshaler(this->GetControllingUnknown()));
            if constexpr (Construction == CoreConstruction::WithoutZones) {
                ThrowIfFailed(this->FinalConstructWithoutZones());
            } else {
                ThrowIfFailed(this->FinalConstructCore());
            }
            for (const PropertyDecl& property : descriptor.properties) {
                CComBSTR key(property.key);
                CComVariant value = property.DefaultValue();
                ThrowIfFailed(this->PropertyBag()->AddProperty(key, value));
            }
            this->processType_ = descriptor.typeCode;
            return S_OK;
        });
    }

    void FinalRelease() {
        this->FinalReleaseCore();
        this->ReleaseMarshaler();
    }

    const ClassDescriptor* Descriptor() const override { return &Derived::kDescriptor; }

    // --- late-bound members ---
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != DISPID_PROPERTYDESCRIPTION && id != DISPID_SHOULDPROCESSPAGE) return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
        const VARIANT& argument = params->rgvarg[0];
        CComVariant answer;
        if (id == DISPID_PROPERTYDESCRIPTION) {
            if (argument.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            const std::u16string_view key(argument.bstrVal ? argument.bstrVal : u"",
                                          argument.bstrVal ? SysStringLen(argument.bstrVal) : 0);
            const PropertyDecl* property = FindProperty(Derived::kDescriptor, key);
            answer = CComVariant(property && property->meaning ? property->meaning : "");
        } else {
            if (argument.vt != VT_UNKNOWN && argument.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
            CComPtr<IZRPage> page;
            if (argument.punkVal) argument.punkVal->QueryInterface(IID_IZRPage, reinterpret_cast<void**>(&page));
            answer.vt = VT_BOOL;
            answer.boolVal = this->ShouldProcessPage(page) ? VARIANT_TRUE : VARIANT_FALSE;
        }
        if (result) return answer.Detach(result);
        return S_OK;
    }

protected:
    std::basic_string_view<DispatchName> DispatchNames() const override {
        static constexpr DispatchName names[] = {{u"PropertyDescription", DISPID_PROPERTYDESCRIPTION},
                                                 {u"ShouldProcessPage", DISPID_SHOULDPROCESSPAGE}};
        return {names, std::size(names)};
    }

    static std::string ProcessText() { return std::string(Derived::kDescriptor.className) + "::Process"; }

    // The value of a declared property, as its declared type. A value of
    // another type (a host that bypassed the bag's conversion) is converted,
    // and refused with DISP_E_TYPEMISMATCH when it cannot be: a pointer's
    // bits are never read as a number.
    template <VARTYPE Vt>
    typename PropertyValue<Vt>::Type Read(const Property<Vt>& property) {
        CComVariant value;
        CComBSTR name(property.key());
        ThrowIfFailed(this->Bag()->GetProperty(name, &value));
        if (value.vt != Vt) {
            CComVariant converted;
            ThrowIfFailed(VariantChangeType(&converted, &value, 0, Vt));
            return PropertyValue<Vt>::From(converted);
        }
        return PropertyValue<Vt>::From(value);
    }

    // The value as the bag holds it, for the rare rule that gives a value of
    // another type its own meaning.
    template <VARTYPE Vt>
    CComVariant ReadStored(const Property<Vt>& property) {
        CComVariant value;
        CComBSTR name(property.key());
        ThrowIfFailed(this->Bag()->GetProperty(name, &value));
        return value;
    }

    // The common frame: pointer checks, result VARIANT_TRUE, the page's image
    // and handle; `work(image, handle)` does the class's own steps. A page
    // without image answers VARIANT_FALSE. With Events = CZRProgressTracker the
    // run is opened with the process name and ended on every exit.
    template <class Work>
    HRESULT RunProcess(IZRPage* page, VARIANT_BOOL* result, Work&& work) {
        return RunProcess(
            page, result, [] { return true; }, work);
    }

    // The same with a step before the image is fetched: `before()` reads what
    // the class needs and answers false when the page is to be left as it is
    // (result VARIANT_TRUE, no image fetched).
    template <class Before, class Work>
    HRESULT RunProcess(IZRPage* page, VARIANT_BOOL* result, Before&& before, Work&& work) {
        if (!result) return E_POINTER;
        return RunGuarded(ProcessText().c_str(), IID_IZRProcessEx, [&] {
            if constexpr (std::is_base_of_v<CZRProgressTracker, Derived>) {
                CComBSTR name;
                this->get_Name(&name);
                ProgressRunGuard run(*this, name);
                return Frame(page, result, before, work);
            } else {
                return Frame(page, result, before, work);
            }
        });
    }

    // The page's image and its handle; false (and result VARIANT_FALSE) when
    // the page has no image. Failing calls raise CZRException(hr).
    static bool FetchImage(IZRPage* page, VARIANT_BOOL* result, CComPtr<IZRImage>& image, int* handle) {
        CComPtr<IZRPage> heldPage(page);
        ThrowIfFailed(heldPage->GetImage(&image));
        if (!image) {
            *result = VARIANT_FALSE;
            return false;
        }
        ThrowIfFailed(image->GetHandle(handle));
        return true;
    }

private:
    template <class Before, class Work>
    HRESULT Frame(IZRPage* page, VARIANT_BOOL* result, Before& before, Work& work) {
        if (!page) return E_INVALIDARG;
        *result = VARIANT_TRUE;
        if (!before()) return S_OK;
        CComPtr<IZRImage> image;
        int handle = -1;
        if (!FetchImage(page, result, image, &handle)) return S_OK;
        return work(image.get(), handle);
    }
};
