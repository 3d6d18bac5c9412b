// Invert: turns the page into its negative (black and white swap, grey and
// colour values complemented), the whole page through the image library or
// only the rectangles of the process's zones. O(pixels inverted).
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRInvert = MakeGuid("{62C8A807-9FC1-48D0-AAFF-32EC7F83F784}");

class CZRInvert : public ProcessClass<CZRInvert, ZoneProcessExImpl<CLSID_ZRInvert>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
