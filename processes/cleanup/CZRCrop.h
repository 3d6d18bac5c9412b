// Crop: trims the margins of a page. Cuts fixed margins ("TOP", "BOTTOM",
// "LEFT", "RIGHT"), or finds a white ("CROPWHITE") or black ("CROPBLACK")
// border by scanning inward from each edge and cuts it through the image
// library; on black-and-white pages "CROPBLACK" then whitens black left at the
// row ends, and "INVERTBLACK" only whitens (other depths get status message
// 2301). "BORDERFILL" 1 instead whitens the whole frame joined to the page
// edge, before the cut and on any depth, keeping text that touches it. Not
// zone-capable. Cost: a 300-dpi A4 page takes a few ms (detection
// stops where the content starts; the cut is one library call); the frame
// fill adds about 10 ms.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRCrop = MakeGuid("{6D8705DB-4A78-4FCE-BA4F-8CA6B0E9C0C7}");

class CZRCrop : public ProcessClass<CZRCrop, ProcessExImpl<CLSID_ZRCrop>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
