// A zone: a rectangle of the page, answered in the units set with SetUnits. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRZone = MakeGuid("{7A1D2C40-5B8E-4F61-9C3A-2E4B6D8F0A11}");

// Zone units: 4 = pixels of a bitmap with the given resolutions.
constexpr LONG ZONE_UNITS_PIXELS = 4;

struct IZRZone : IDispatch {
    static constexpr const IID& iid() { return IID_IZRZone; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;  // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;  // 8
    virtual HRESULT GetUnits(LONG* units) = 0;                 // 9
    virtual HRESULT GetLeft(LONG* value) = 0;                  // 10
    virtual HRESULT SetLeft(LONG value) = 0;                   // 11
    virtual HRESULT GetTop(LONG* value) = 0;                   // 12
    virtual HRESULT SetTop(LONG value) = 0;                    // 13
    virtual HRESULT GetWidth(LONG* value) = 0;                 // 14
    virtual HRESULT SetWidth(LONG value) = 0;                  // 15
    virtual HRESULT GetHeight(LONG* value) = 0;                // 16
    virtual HRESULT SetHeight(LONG value) = 0;                 // 17
    virtual HRESULT GetName(BSTR* name) = 0;                   // 18
    virtual HRESULT SetName(BSTR name) = 0;                    // 19
    virtual HRESULT GetXResolution(LONG* dpi) = 0;             // 20
    virtual HRESULT GetYResolution(LONG* dpi) = 0;             // 21
    // Defines the rectangle in the given units (host side).
    virtual HRESULT SetRect(LONG units, LONG left, LONG top, LONG width, LONG height) = 0;  // 22
    virtual HRESULT SetUnits(LONG units, LONG xResolution, LONG yResolution) = 0;           // 23

protected:
    ~IZRZone() = default;
};
