// The host page range: the text of a PageRangeSet; saves itself as a
// "PageRange" element with a "Range" attribute. O(terms) per test.
#pragma once

#include "host/HostObject.h"
#include "host/PageRangeSet.h"
#include "host/interfaces/ZRPageRange.h"

class ZR_HOST_API CZRPageRange : public HostObject<ZRPageRange> {
public:
    HRESULT LoadProperties(IZRXMLMarkup* markup) override;
    HRESULT SaveProperties(IZRXMLMarkup* markup) override;
    HRESULT IsValidRange(BSTR text, VARIANT_BOOL* valid) override;
    HRESULT GetRange(BSTR* text) override;
    HRESULT SetRange(BSTR text) override;
    HRESULT IsInRange(LONG page, VARIANT_BOOL* inRange) override;

private:
    std::string text_;
    PageRangeSet set_ = *PageRangeSet::Parse("");
};
