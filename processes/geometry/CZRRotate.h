// Rotate: turns every page by a fixed angle ("RotationAngle", default a
// quarter turn clockwise) through the image library. Multiples of 90 are
// exact and cost one pass over the pixels; other angles grow the canvas and
// interpolate. Offers the event connection point but reports no progress.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRRotate = MakeGuid("{E8B04618-37C3-4C9F-94F5-7263784CAF0D}");

class CZRRotate : public ProcessClass<CZRRotate, ZoneProcessExImpl<CLSID_ZRRotate>, CZREventSource,
                                      CoreConstruction::WithoutZones> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
