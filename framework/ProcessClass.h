// The class-level shell of a process: its interface map (IZRProcessEx,
// IDispatch, ISupportErrorInfo, IMarshal, IConnectionPointContainer),
// FinalConstruct (free-threaded marshaler, the core's construction, the
// class's property table and type code) and FinalRelease, and the common
// frame of Process. A concrete class derives from ProcessClass<Self, Core,
// Events> and supplies kClassName, kProperties, kProcessType and Process.
#pragma once

#include "framework/CZRProgressTracker.h"
#include "framework/MarshalerImpl.h"
#include "framework/PropertyDecl.h"
#include "framework/ZoneProcessExImpl.h"
#include "platform/com/ComObject.h"

#include <span>
#include <type_traits>

enum class CoreConstruction { Full, WithoutZones };

template <class Derived, const CLSID& Clsid, class Core, class Events = CZRProgressTracker,
          CoreConstruction Construction = CoreConstruction::Full>
class ProcessClass : public CComObjectRootEx,
                     public ISupportErrorInfo,
                     public Core,
                     public MarshalerImpl<Clsid>,
                     public Events {
public:
    void* QueryInterfaceMap(REFIID riid) {
        if (riid == IID_IUnknown || riid == IID_IZRProcessEx || riid == IID_IDispatch)
            return static_cast<IZRProcessEx*>(this);
        if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
        if (riid == IID_IMarshal) return static_cast<IMarshal*>(this);
        if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
        return nullptr;
    }

    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override { return riid == IID_IZRProcessEx ? S_OK : S_FALSE; }

    HRESULT FinalConstruct() {
        const std::string text = std::string(Derived::kClassName) + "::FinalConstruct";
        return RunGuarded(text.c_str(), IID_IZRProcessEx, [&] {
            ThrowIfFailed(this->CreateMarshaler(this->GetControllingUnknown()));
            if constexpr (Construction == CoreConstruction::WithoutZones) {
                ThrowIfFailed(this->FinalConstructWithoutZones());
            } else {
                ThrowIfFailed(this->FinalConstructCore());
            }
            for (const PropertyDecl& property : Derived::Properties()) {
                CComBSTR key(property.key);
                CComVariant value = property.DefaultValue();
                ThrowIfFailed(this->PropertyBag()->AddProperty(key, value));
            }
            this->processType_ = Derived::kProcessType;
            return S_OK;
        });
    }

    void FinalRelease() {
        this->FinalReleaseCore();
        this->ReleaseMarshaler();
    }

protected:
    static std::string ProcessText() { return std::string(Derived::kClassName) + "::Process"; }

    // Reads a property into `value` (no conversion); failure raises CZRException(hr).
    CComVariant ReadProperty(const char* key) {
        CComVariant value;
        CComBSTR name(key);
        ThrowIfFailed(this->Bag()->GetProperty(name, &value));
        return value;
    }

    // The common frame: pointer checks, result VARIANT_TRUE, the page's image
    // and handle; `work(image, handle)` does the class's own steps. A page
    // without image answers VARIANT_FALSE. With Events = CZRProgressTracker the
    // run is opened with the process name and ended on every exit.
    template <class Work>
    HRESULT RunProcess(IZRPage* page, VARIANT_BOOL* result, Work&& work) {
        if (!result) return E_POINTER;
        return RunGuarded(ProcessText().c_str(), IID_IZRProcessEx, [&] {
            if constexpr (std::is_base_of_v<CZRProgressTracker, Derived>) {
                CComBSTR name;
                this->get_Name(&name);
                ProgressRunGuard run(*this, name);
                return Frame(page, result, work);
            } else {
                return Frame(page, result, work);
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
    template <class Work>
    HRESULT Frame(IZRPage* page, VARIANT_BOOL* result, Work& work) {
        if (!page) return E_INVALIDARG;
        *result = VARIANT_TRUE;
        CComPtr<IZRImage> image;
        int handle = -1;
        if (!FetchImage(page, result, image, &handle)) return S_OK;
        return work(image.get(), handle);
    }
};
