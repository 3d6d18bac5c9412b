// Deskew: measures how far the page is turned from upright and turns it back
// with one rotation through the image library. "Lines" (default) weighs the
// straight rules and strokes of the page, "Text" compares row profiles of a
// reduced copy at half-degree trials, "Angle" votes with the bottoms of the
// characters. Pages deeper than one bit are measured on a thresholded 1-bit
// copy ("Lines", "Angle") or through their own white threshold ("Text").
// Cost: the measurement (a few ms on a 300-dpi A4 page for "Lines" and
// "Text", tens of ms for "Angle") plus the rotation when the page is skewed.
#pragma once

#include "framework/ProcessClass.h"
#include "platform/imagelib/ImageWrapper.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRDeskew = MakeGuid("{A52F17CF-D8A5-4C3B-8F76-6BFC806C1E83}");

class CZRDeskew : public ProcessClass<CZRDeskew, ZoneProcessExImpl<CLSID_ZRDeskew>> {
public:
    static const ClassDescriptor kDescriptor;

    // How the skew is measured; the values of "DetectionType".
    enum DetectionType : int { kUnknownType = 0, kAngleType = 1, kLinesType = 2, kTextType = 3 };

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;

private:
    DetectionType ReadDetectionType();
    // Measures and rotates; true when the page was passed to the rotation.
    bool DeskewBinary(BITMAPINFOHEADER* dib, int handle, DetectionType type);
    bool DeskewDeeper(BITMAPINFOHEADER* dib, int handle, DetectionType type);
    double MeasureBinary(BITMAPINFOHEADER* dib, DetectionType type);
};
