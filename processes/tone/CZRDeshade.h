// Deshade: removes screened or dithered grey backgrounds from black-and-white
// pages, in place, keeping the text printed on them and leaving unshaded
// areas as they were. Whole page only (it carries the zone interface but no
// zones). A few byte-wide passes: about 30 ms for a 300-dpi A4 page.
#pragma once

#include "framework/ProcessClass.h"
#include "processes/tone/DeshadeEngine.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRDeshade = MakeGuid("{40126F55-AB66-4CC7-90BF-00C7CD2A1EC2}");

class CZRDeshade : public ProcessClass<CZRDeshade, ZoneProcessExImpl<CLSID_ZRDeshade>, CZRProgressTracker,
                                       CoreConstruction::WithoutZones> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

private:
    // Kept for the object's life; its column tables grow with the pages.
    DeshadeEngine engine_;
};
