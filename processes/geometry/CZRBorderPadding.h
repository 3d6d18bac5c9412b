// Border padding: grows the canvas of every page by the given number of white
// pixels on each side ("CHANGELEFT", "CHANGETOP", "CHANGERIGHT",
// "CHANGEBOTTOM"), any depth, through the image library: one copy of the page
// into the larger canvas, O(new pixels). Not zone-capable.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

class CZRBorderPadding
    : public ProcessClass<CZRBorderPadding, CLSID_ZRBorderPadding, ProcessExImpl<CLSID_ZRBorderPadding>> {
public:
    static constexpr const char* kClassName = "CZRBorderPadding";
    static constexpr long kProcessType = PROCESS_TYPE_GEOMETRY;
    static std::span<const PropertyDecl> Properties();

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
