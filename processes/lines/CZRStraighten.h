// Straighten: measures the skew of a page on a cleaned, reduced black and
// white copy (dark borders, shadows and photos masked out) to "PRECISION"
// within plus or minus "MAXANGLE", and turns the page back only when the
// measurement's confidence reaches "MINCONFIDENCE" and the angle is at least
// twice the precision. 1-bit pages stay 1-bit and sharp; grey and colour pages
// are interpolated; the grown canvas takes the tone of the page's own edge.
// Every page gets a status message with the angle and confidence. Not
// zone-capable. Cost on a 300-dpi A4 page: the measurement (~10 ms 1-bit,
// ~40 ms grey, ~55 ms colour) plus the turn when the page is skewed.
#pragma once

#include "framework/ProcessClass.h"
#include "platform/imagelib/ImageWrapper.h"
#include "resources/Identifiers.h"

#include <cstdint>
#include <string>

struct SkewReading;

inline constexpr CLSID CLSID_ZRStraighten = MakeGuid("{53B12900-EBC4-4AB9-A326-73FBBF34C6B3}");

class CZRStraighten : public ProcessClass<CZRStraighten, ProcessExImpl<CLSID_ZRStraighten>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

    // What the page is told: "Skew 2.25° (confidence 4.1): straightened." and
    // the like. `turned` says whether the page was rotated.
    static std::u16string Report(const SkewReading& reading, bool turned, double minConfidence, double smallest);
    // The tone of the page's outermost two rows and columns (median per
    // channel): 0xRRGGBB for colour, the grey level for grey, 0 (black) or
    // 0xFFFFFF (white) for 1-bit pages.
    static std::uint32_t EdgeTone(const BITMAPINFOHEADER* dib);
};
