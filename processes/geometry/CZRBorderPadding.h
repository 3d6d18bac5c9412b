// Border padding: grows the canvas of every page by the given number of white
// pixels on each side ("CHANGELEFT", "CHANGETOP", "CHANGERIGHT",
// "CHANGEBOTTOM"), any depth, through the image library: one copy of the page
// into the larger canvas, O(new pixels). Not zone-capable.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRBorderPadding = MakeGuid("{73EAE1D9-FF19-478C-9465-BD1FA6AE782C}");

class CZRBorderPadding : public ProcessClass<CZRBorderPadding, ProcessExImpl<CLSID_ZRBorderPadding>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
