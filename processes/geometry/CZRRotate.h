// Rotate: turns every page by a fixed angle ("RotationAngle", default a
// quarter turn clockwise) through the image library. Multiples of 90 are
// exact and cost one pass over the pixels; other angles grow the canvas and
// interpolate. Offers the event connection point but reports no progress.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

class CZRRotate : public ProcessClass<CZRRotate, CLSID_ZRRotate, ZoneProcessExImpl<CLSID_ZRRotate>, CZREventSource,
                                      CoreConstruction::WithoutZones> {
public:
    static constexpr const char* kClassName = "CZRRotate";
    static constexpr long kProcessType = PROCESS_TYPE_GEOMETRY;
    static std::span<const PropertyDecl> Properties();

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
