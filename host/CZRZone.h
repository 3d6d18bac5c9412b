// A zone: a rectangle kept in its own units (1 = thousandths of an inch,
// 2 = tenths of a millimetre, 4 = pixels) and answered in the units last set
// with SetUnits. Pixel answers need the bitmap's resolutions. O(1).
#pragma once

#include "host/HostObject.h"
#include "host/interfaces/IZRZone.h"

constexpr LONG ZONE_UNITS_MILS = 1;
constexpr LONG ZONE_UNITS_TENTH_MM = 2;

class ZR_HOST_API CZRZone : public HostObject<IZRZone> {
public:
    HRESULT LoadProperties(IZRXMLMarkup* markup) override;
    HRESULT SaveProperties(IZRXMLMarkup* markup) override;
    HRESULT GetUnits(LONG* units) override;
    HRESULT GetLeft(LONG* value) override { return Answer(left_, true, value); }
    HRESULT SetLeft(LONG value) override { return Set(left_, value); }
    HRESULT GetTop(LONG* value) override { return Answer(top_, false, value); }
    HRESULT SetTop(LONG value) override { return Set(top_, value); }
    HRESULT GetWidth(LONG* value) override { return Answer(width_, true, value); }
    HRESULT SetWidth(LONG value) override { return Set(width_, value); }
    HRESULT GetHeight(LONG* value) override { return Answer(height_, false, value); }
    HRESULT SetHeight(LONG value) override { return Set(height_, value); }
    HRESULT GetName(BSTR* name) override;
    HRESULT SetName(BSTR name) override;
    HRESULT GetXResolution(LONG* dpi) override;
    HRESULT GetYResolution(LONG* dpi) override;
    HRESULT SetRect(LONG units, LONG left, LONG top, LONG width, LONG height) override;
    HRESULT SetUnits(LONG units, LONG xResolution, LONG yResolution) override;

private:
    HRESULT Set(LONG& field, LONG value);
    HRESULT Answer(LONG stored, bool horizontal, LONG* out) const;
    LONG storedUnits_ = ZONE_UNITS_PIXELS;
    LONG left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    LONG answerUnits_ = ZONE_UNITS_PIXELS;
    LONG xResolution_ = 0, yResolution_ = 0;
    std::string name_;
};
