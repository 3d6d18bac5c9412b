// Colour smoothing: evens out a colour background. The first zone is a
// sample of it; every pixel of the page within "TOLERANCE" percent of the
// sample's average colour, channel by channel, becomes that average (8-bit
// pages: their colour table entries instead of pixels). One pass over a
// 24-bit page: about 25 ms for a 300-dpi A4 page. Without a zone nothing
// changes; 1-bit pages are refused.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRColorSmoothing = MakeGuid("{E5FE457A-35C5-45CF-8553-048EB8E7C8EA}");

class CZRColorSmoothing : public ProcessClass<CZRColorSmoothing, ZoneProcessExImpl<CLSID_ZRColorSmoothing>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
