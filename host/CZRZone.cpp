// Zone units and persistence.
#include "host/CZRZone.h"

#include "host/HostErrors.h"

#include <cmath>
#include <cstdlib>

namespace {
// Units per inch along an axis of `dpi` (pixels need a known resolution); 0 when unknown.
double UnitsPerInch(LONG units, LONG dpi) {
    switch (units) {
        case ZONE_UNITS_MILS:
            return 1000.0;
        case ZONE_UNITS_TENTH_MM:
            return 254.0;
        case ZONE_UNITS_PIXELS:
            return dpi > 0 ? dpi : 0.0;
        default:
            return 0.0;
    }
}

// Value in `from` units -> `to` units along an axis of `dpi`.
bool Convert(double value, LONG from, LONG to, LONG dpi, double* out) {
    if (from == to) {
        *out = value;
        return true;
    }
    const double fromPerInch = UnitsPerInch(from, dpi), toPerInch = UnitsPerInch(to, dpi);
    if (fromPerInch == 0.0 || toPerInch == 0.0) return false;
    *out = value / fromPerInch * toPerInch;
    return true;
}

bool KnownUnits(LONG units) {
    return units == ZONE_UNITS_MILS || units == ZONE_UNITS_TENTH_MM || units == ZONE_UNITS_PIXELS;
}
}  // namespace

HRESULT CZRZone::GetUnits(LONG* units) {
    if (!units) return E_POINTER;
    *units = answerUnits_;
    return S_OK;
}

HRESULT CZRZone::Set(LONG& field, LONG value) {
    // A single coordinate set after SetUnits is taken in the answering units.
    if (storedUnits_ != answerUnits_) return E_UNEXPECTED;
    field = value;
    return S_OK;
}

HRESULT CZRZone::Answer(LONG stored, bool horizontal, LONG* out) const {
    if (!out) return E_POINTER;
    double value;
    if (!Convert(stored, storedUnits_, answerUnits_, horizontal ? xResolution_ : yResolution_, &value))
        return E_UNEXPECTED;
    // A value that a LONG cannot hold (a huge zone at a tiny resolution) is refused, not wrapped.
    const double rounded = std::round(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return DISP_E_OVERFLOW;
    *out = static_cast<LONG>(rounded);
    return S_OK;
}

HRESULT CZRZone::GetName(BSTR* name) {
    if (!name) return E_POINTER;
    *name = Utf8ToBstr(name_);
    return S_OK;
}

HRESULT CZRZone::SetName(BSTR name) {
    name_ = BstrToUtf8(name);
    return S_OK;
}

HRESULT CZRZone::GetXResolution(LONG* dpi) {
    if (!dpi) return E_POINTER;
    *dpi = xResolution_;
    return S_OK;
}

HRESULT CZRZone::GetYResolution(LONG* dpi) {
    if (!dpi) return E_POINTER;
    *dpi = yResolution_;
    return S_OK;
}

HRESULT CZRZone::SetRect(LONG units, LONG left, LONG top, LONG width, LONG height) {
    if (!KnownUnits(units)) return E_INVALIDARG;
    storedUnits_ = answerUnits_ = units;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    return S_OK;
}

HRESULT CZRZone::SetUnits(LONG units, LONG xResolution, LONG yResolution) {
    if (!KnownUnits(units)) return E_INVALIDARG;
    answerUnits_ = units;
    xResolution_ = xResolution;
    yResolution_ = yResolution;
    return S_OK;
}

HRESULT CZRZone::SaveProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupWriter writer(markup);
        writer.Begin("Zone");
        if (!name_.empty()) writer.Attribute("Name", name_);
        writer.Attribute("Units", std::to_string(storedUnits_));
        writer.Attribute("Left", std::to_string(left_));
        writer.Attribute("Top", std::to_string(top_));
        writer.Attribute("Width", std::to_string(width_));
        writer.Attribute("Height", std::to_string(height_));
        writer.End();
        return S_OK;
    });
}

HRESULT CZRZone::LoadProperties(IZRXMLMarkup* markup) {
    return Guard([&] {
        MarkupReader reader(markup);
        auto number = [&](const char* key, LONG fallback) -> LONG {
            const std::string text = reader.Attribute(key);
            if (text.empty()) return fallback;
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (*end != '\0' || value < -1000000000L || value > 1000000000L)
                throw HostError{ZR_E_ZONE,
                                std::string("Zone attribute ") + key + " = \"" + text + "\" is not a whole number."};
            return static_cast<LONG>(value);
        };
        const LONG units = number("Units", ZONE_UNITS_PIXELS);
        if (!KnownUnits(units)) throw HostError{ZR_E_ZONE, "Zone units must be 1, 2 or 4."};
        name_ = reader.Attribute("Name");
        SetRect(units, number("Left", 0), number("Top", 0), number("Width", 0), number("Height", 0));
        reader.SkipChildren();
        return S_OK;
    });
}
