// Despeckle: removes speckle noise from a page, in place. Black-and-white
// pages lose every group of black pixels whose bounding box is no larger than
// "SIZE" pixels, optionally sparing the dots and accents of characters
// ("CHARPRESERVE"); a 300-dpi A4 page costs a few milliseconds. Grey and
// colour pages have small dark specks on an even background painted over with
// the background's tone ("SIZE" is then the speck's side); a sliding window
// over every pixel, 0.2 to 0.4 s for an A4 page at 300 dpi. Other depths are
// refused. Not zone-capable. With "SIZEDPI" the sizes are meant at that
// resolution and follow the page's, so one job serves 150- to 600-dpi scans.
#pragma once

#include "framework/ProcessClass.h"
#include "processes/cleanup/SpeckleRemover.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRDespeckle = MakeGuid("{85E8E684-AE58-4E7D-A956-EA3D2C0B60DD}");

class CZRDespeckle : public ProcessClass<CZRDespeckle, ProcessExImpl<CLSID_ZRDespeckle>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

private:
    // Kept from page to page with its tables.
    SpeckleRemover remover_;
};
