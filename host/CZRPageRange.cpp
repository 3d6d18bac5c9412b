// Page range object.
#include "host/CZRPageRange.h"

#include "host/HostErrors.h"

HRESULT CZRPageRange::IsValidRange(BSTR text, VARIANT_BOOL* valid) {
    if (!valid) return E_POINTER;
    *valid = PageRangeSet::Parse(BstrToUtf8(text)) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRPageRange::GetRange(BSTR* text) {
    if (!text) return E_POINTER;
    *text = Utf8ToBstr(text_);
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT CZRPageRange::SetRange(BSTR text) {
    return Guard([&] {
        std::string reason;
        const std::string value = BstrToUtf8(text);
        auto parsed = PageRangeSet::Parse(value, &reason);
        if (!parsed) throw HostError{ZR_E_PAGE_RANGE, "Invalid page range \"" + value + "\": " + reason + "."};
        text_ = value;
        set_ = *parsed;
        return S_OK;
    });
}

HRESULT CZRPageRange::IsInRange(LONG page, VARIANT_BOOL* inRange) {
    if (!inRange) return E_POINTER;
    *inRange = set_.Contains(page) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CZRPageRange::SaveProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupWriter writer(markup);
        writer.Begin("PageRange");
        writer.Attribute("Range", text_);
        writer.End();
        return S_OK;
    });
}

HRESULT CZRPageRange::LoadProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupReader reader(markup);
        CComBSTR text(reader.Attribute("Range"));
        const HRESULT hr = SetRange(text);
        if (FAILED(hr)) return hr;
        reader.SkipChildren();
        return S_OK;
    });
}
