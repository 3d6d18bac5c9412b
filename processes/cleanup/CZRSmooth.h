// Smooth: reshapes the black strokes of a black-and-white page in place:
// dilation ("DIALATION"), erosion ("EROSION"), both in either order (equal
// sizes: closing, or opening when "DIALATION" is negative), then outline
// smoothing ("SMOOTH": one-pixel dents and bumps at 1, gaps along straight
// edges at 2 to 5). Sizes 1 to 5. Other depths get status message 2305 and
// are left alone. Not zone-capable. Cost: a few to ~25 ms per operation on a
// 300-dpi A4 page.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRSmooth = MakeGuid("{382BF545-D8CD-4636-9776-52C850EB13E4}");

class CZRSmooth : public ProcessClass<CZRSmooth, ProcessExImpl<CLSID_ZRSmooth>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
