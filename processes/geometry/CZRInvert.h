// Invert: turns the page into its negative (black and white swap, grey and
// colour values complemented), the whole page through the image library or
// only the rectangles of the process's zones. O(pixels inverted).
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

class CZRInvert : public ProcessClass<CZRInvert, CLSID_ZRInvert, ZoneProcessExImpl<CLSID_ZRInvert>> {
public:
    static constexpr const char* kClassName = "CZRInvert";
    static constexpr long kProcessType = PROCESS_TYPE_GEOMETRY;
    static std::span<const PropertyDecl> Properties() { return {}; }

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
