// Dynamic thresholding: turns an 8-bit grey or 24-bit colour page black and
// white. The whole page becomes a new 1-bit page (image type 2); with a zone,
// only the first zone's rectangle is thresholded and the page keeps its
// depth. Methods: a global two-peak threshold from a sampled histogram (about
// 20 ms for a 300-dpi A4 page), the same after an edge filter, or a local
// threshold box by box (about 60 ms). 1-bit pages are left as they are.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRDynamicThresholding = MakeGuid("{DC652630-04B7-4904-AF9C-F168E6C00C78}");

class CZRDynamicThresholding
    : public ProcessClass<CZRDynamicThresholding, ZoneProcessExImpl<CLSID_ZRDynamicThresholding>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

private:
    void threshold(IZRPage* page, IZRImage* image, int handle);
};
