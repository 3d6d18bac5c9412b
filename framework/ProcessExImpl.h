// The host-facing shell every process shares: IZRProcessEx slots 7-21 over a
// host property bag and page range, the page filter, XML persistence of the
// process, and the method texts used by the one handler chain. The class's
// own work is its Process. Every call is O(1) apart from persistence, which is
// O(size of the XML).
#pragma once

#include "framework/ClassCatalogue.h"
#include "framework/Culture.h"
#include "framework/ErrorReport.h"
#include "framework/HostObjects.h"
#include "framework/ProcessModeImpl.h"
#include "platform/com/DispatchImpl.h"

#include <string>

HRESULT CreateXMLMarkup(IZRXMLMarkup** out);

// "ProcessExImpl<&struct _GUID const CLSID_ZRInvert>::get_XML"
std::string TemplateMethodText(const char* templateName, REFCLSID clsid, const char* method);

// Markup calls that fail are raised as COM errors carrying the markup's IID.
inline void CheckMarkup(HRESULT hr, IZRXMLMarkup* markup) {
    if (FAILED(hr)) _com_issue_errorex(hr, markup, IID_IZRXMLMarkup);
}

class PropertyBagImpl {
protected:
    CComPtr<ZRPropertyBag> propertyBag_;
};

class PageRangeImpl {
protected:
    CComPtr<ZRPageRange> pageRange_;
};

template <const CLSID& Clsid>
class ProcessExImpl : public DispatchImpl<IZRProcessEx>,
                      public PropertyBagImpl,
                      public PageRangeImpl,
                      public ProcessModeImpl {
public:
    static constexpr const CLSID& kClsid = Clsid;

    // --- IZRProcessEx ---
    HRESULT LoadProperties(IZRXMLMarkup* markup) override {
        return RunGuarded(Text("LoadProperties").c_str(), IID_IZRProcessEx, [&] {
            LoadFrom(markup, nullptr);
            return S_OK;
        });
    }
    HRESULT SaveProperties(IZRXMLMarkup* markup) override {
        return RunGuarded(Text("SaveProperties").c_str(), IID_IZRProcessEx, [&] {
            SaveTo(markup, nullptr, false);
            return S_OK;
        });
    }
    HRESULT get_XML(BSTR* xml) override {
        if (!xml) return E_POINTER;
        *xml = nullptr;
        return RunGuarded(Text("get_XML").c_str(), IID_IZRProcessEx, [&] {
            CComPtr<IZRXMLMarkup> markup;
            ThrowIfFailed(CreateXMLMarkup(&markup));
            ThrowIfFailed(SaveProperties(markup));
            ThrowIfFailed(markup->GetXml(xml));
            return S_OK;
        });
    }
    HRESULT get_Properties(BSTR name, VARIANT* value) override {
        if (!value) return E_POINTER;
        return RunGuarded(Text("get_Properties").c_str(), IID_IZRProcessEx, [&] {
            CComVariant read;
            ThrowIfFailed(Bag()->GetProperty(name, &read));
            VariantClear(value);
            return read.Detach(value);
        });
    }
    HRESULT put_Properties(BSTR name, VARIANT value) override {
        return RunGuarded(Text("put_Properties").c_str(), IID_IZRProcessEx, [&] {
            CComVariant copy;
            ThrowIfFailed(VariantCopy(&copy, &value));
            const std::u16string_view key = name ? std::u16string_view(name, SysStringLen(name)) : u"";
            const bool isText = copy.vt == VT_BSTR || copy.vt == (VT_BSTR | VT_BYREF);
            if (OleStrEqualNoCase(key, u"CULTURE") && isText) {
                const BSTR culture = copy.vt == VT_BSTR ? copy.bstrVal : (copy.pbstrVal ? *copy.pbstrVal : nullptr);
                Culture::Switch(culture ? std::u16string(culture, SysStringLen(culture)) : std::u16string());
                return S_OK;
            }
            ThrowIfFailed(Bag()->PutProperty(name, copy));
            return S_OK;
        });
    }
    HRESULT GetPropertyNames(VARIANT* names) override {
        return RunGuarded(Text("GetPropertyNames").c_str(), IID_IZRProcessEx, [&] {
            ThrowIfFailed(Bag()->GetPropertyNames(names));
            return S_OK;
        });
    }
    HRESULT get_Name(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = name_.Copy();
        if (!*name) *name = SysAllocString(u"");
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT put_Name(BSTR name) override {
        name_ = name ? CComBSTR(std::u16string_view(name, SysStringLen(name))) : CComBSTR(u"");
        return S_OK;
    }
    HRESULT put_Mode(LONG mode) override {
        SetMode(mode);
        return S_OK;
    }
    HRESULT get_Mode(LONG* mode) override {
        if (!mode) return E_POINTER;
        *mode = Mode();
        return S_OK;
    }
    HRESULT GetZoneManager(ZRZoneManager** manager) override {
        if (!manager) return E_POINTER;
        *manager = nullptr;
        return S_OK;
    }
    HRESULT put_ProcessType(LONG type) override {
        processType_ = type;
        return S_OK;
    }
    HRESULT get_ProcessType(LONG* type) override {
        if (!type) return E_POINTER;
        *type = processType_;
        return S_OK;
    }
    HRESULT GetPageRange(ZRPageRange** range) override {
        if (!range) return E_POINTER;
        *range = nullptr;
        if (!pageRange_) return S_OK;
        pageRange_->QueryInterface(IID_ZRPageRange, reinterpret_cast<void**>(range));
        return S_OK;
    }

    // --- the template's own operations ---
    virtual ~ProcessExImpl() = default;

    // Creates the property bag and page range (page range text ""). Runs under
    // its own handler chain.
    virtual HRESULT FinalConstructCore() {
        return RunGuarded(TemplateMethodText("ProcessExImpl", Clsid, "FinalConstruct").c_str(), IID_IZRProcessEx, [&] {
            propertyBag_ = CreateHostObject<ZRPropertyBag>(kPropertyBagProgId);
            pageRange_ = CreateHostObject<ZRPageRange>(kPageRangeProgId);
            CComBSTR empty(u"");
            ThrowIfFailed(pageRange_->SetRange(empty));
            return S_OK;
        });
    }
    virtual void FinalReleaseCore() {
        propertyBag_.Release();
        pageRange_.Release();
    }
    virtual HRESULT GetProcessTokens(VARIANT* tokens) {
        if (!tokens) return E_POINTER;
        VariantInit(tokens);
        return S_OK;
    }
    // Whether the caller should hand this page to Process (mode 8: every page).
    virtual bool ShouldProcessPage(IZRPage* page) {
        if (!page) return false;
        if (ProcessesAllPages()) return true;
        LONG number = 0;
        if (FAILED(page->GetPageNumber(&number))) {
            CComBSTR range;
            if (!pageRange_ || FAILED(pageRange_->GetRange(&range))) return true;
            return range.Length() == 0;
        }
        VARIANT_BOOL inRange = VARIANT_FALSE;
        if (!pageRange_ || FAILED(pageRange_->IsInRange(number, &inRange))) return false;
        return inRange != VARIANT_FALSE;
    }

    // The class's descriptor; the class level answers its own, so a class
    // outside the module's table still saves its ProgID.
    virtual const ClassDescriptor* Descriptor() const { return FindClass(Clsid); }

    ZRPropertyBag* PropertyBag() const { return propertyBag_; }
    const CComBSTR& NameText() const { return name_; }

protected:
    static std::string Text(const char* method) { return TemplateMethodText("ProcessExImpl", Clsid, method); }

    ZRPropertyBag* Bag() const {
        if (!propertyBag_) throw CZRException(E_POINTER);
        return propertyBag_;
    }

    // Writes the "Process" element; the zone variant passes its manager.
    void SaveTo(IZRXMLMarkup* markup, ZRZoneManager* zones, bool withZones) {
        if (!markup) throw _com_error(E_POINTER);
        CComBSTR processTag(u"Process"), empty(u""), nameKey(u"Name"), progIdKey(u"ProgID");
        CheckMarkup(markup->AddElement(processTag, empty), markup);
        CheckMarkup(markup->AddAttribute(nameKey, name_.m_str() ? name_ : empty), markup);
        const ClassDescriptor* descriptor = Descriptor();
        CComBSTR progId(descriptor ? ProgIdOf(*descriptor) : std::string());
        CheckMarkup(markup->AddAttribute(progIdKey, progId), markup);
        if (!pageRange_ || !propertyBag_) throw CZRException(E_POINTER);
        ThrowIfFailed(pageRange_->SaveProperties(markup));
        ThrowIfFailed(propertyBag_->SaveProperties(markup));
        if (withZones) {
            if (!zones) throw CZRException(E_POINTER);
            ThrowIfFailed(zones->SaveProperties(markup));
        }
        CheckMarkup(markup->EndElement(), markup);
    }

    // Reads a "Process" element (tag compared without case); other tags change nothing.
    void LoadFrom(IZRXMLMarkup* markup, ZRZoneManager* const* zones) {
        if (!markup) throw _com_error(E_POINTER);
        CComBSTR tag;
        CheckMarkup(markup->GetName(&tag), markup);
        if (!OleStrEqualNoCase(tag.view(), u"Process")) return;
        LONG depth = 0;
        CheckMarkup(markup->GetDepth(&depth), markup);
        CComBSTR nameKey(u"Name"), name;
        CheckMarkup(markup->GetAttribute(nameKey, &name), markup);
        name_ = name.m_str() ? name : CComBSTR(u"");
        for (;;) {
            VARIANT_BOOL moved = VARIANT_FALSE;
            CheckMarkup(markup->MoveNext(&moved), markup);
            if (!moved) break;
            LONG current = 0;
            CheckMarkup(markup->GetDepth(&current), markup);
            if (current <= depth) break;
            VARIANT_BOOL start = VARIANT_FALSE;
            CheckMarkup(markup->IsStartElement(&start), markup);
            if (!start) continue;
            CComBSTR child;
            CheckMarkup(markup->GetName(&child), markup);
            if (child.view() == u"PageRange") {
                if (!pageRange_) throw CZRException(E_POINTER);
                ThrowIfFailed(pageRange_->LoadProperties(markup));
            } else if (child.view() == u"PropertyBag") {
                ThrowIfFailed(Bag()->LoadProperties(markup));
            } else if (zones && child.view() == u"ZoneManager") {
                if (!*zones) throw CZRException(E_POINTER);
                ThrowIfFailed((*zones)->LoadProperties(markup));
            }
        }
    }

    LONG processType_ = 798;

private:
    CComBSTR name_{u""};
};
