// Zone units and persistence.
#include "host/CZRZone.h"

#include "host/HostErrors.h"

#include <cmath>
#include <cstdlib>

namespace {
// Value in `from` units -> `to` units along an axis of `dpi` (0 = unknown).
bool Convert(double value, LONG from, LONG to, LONG dpi, double* out) {
    auto toInches = [&](LONG units, double v, double* inches) {
        switch (units) {
            case ZONE_UNITS_MILS:
                *inches = v / 1000.0;
                return true;
            case ZONE_UNITS_TENTH_MM:
                *inches = v / 254.0;
                return true;
            case ZONE_UNITS_PIXELS:
                if (dpi <= 0) return false;
                *inches = v / dpi;
                return true;
            default:
                return false;
        }
    };
    if (from == to) {
        *out = value;
        return true;
    }
    double inches;
    if (!toInches(from, value, &inches)) return false;
    switch (to) {
        case ZONE_UNITS_MILS:
            *out = inches * 1000.0;
            return true;
        case ZONE_UNITS_TENTH_MM:
            *out = inches * 254.0;
            return true;
        case ZONE_UNITS_PIXELS:
            if (dpi <= 0) return false;
            *out = inches * dpi;
            return true;
        default:
            return false;
    }
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
    *out = static_cast<LONG>(std::lround(value));
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
        reader.ForEachChild([](const MarkupElement&) {});
        return S_OK;
    });
}
