// DetectionType and zones are checked on every class that has them; SIZE
// means a speck size only to Despeckle.
#include "cli/SettingWarnings.h"

#include "host/HostInterfaces.h"

#include <algorithm>

namespace {

bool Read(IZRProcessEx* process, const char16_t* key, CComVariant& value) {
    CComBSTR name(key);
    return SUCCEEDED(process->get_Properties(name, &value));
}

// The speck size Despeckle actually uses: only the low 16 bits, 0 as 1, at most 500.
long EffectiveSpeckSize(LONG size) {
    const long low = static_cast<long>(static_cast<unsigned>(size) & 0xFFFFu);
    return std::clamp(low, 1L, 500L);
}

}  // namespace

std::vector<std::string> SettingWarnings::ForPipeline(const std::vector<PipelineStep>& steps) {
    std::vector<std::string> warnings;
    for (const PipelineStep& step : steps) {
        CComVariant detection;
        if (Read(step.process, u"DetectionType", detection) && detection.vt == VT_BSTR) {
            const std::string value = BstrToUtf8(detection.bstrVal);
            if (value != "Lines" && value != "Text" && value != "Angle")
                warnings.push_back(step.name + ": DetectionType '" + value +
                                   "' is none of Lines, Text, Angle (letter case counts): every page is left "
                                   "unchanged");
        }
        CComVariant size;
        if (step.kind == "Despeckle" && Read(step.process, u"SIZE", size) && size.vt == VT_I4 &&
            (size.lVal < 0 || size.lVal > 500))
            warnings.push_back(step.name + ": SIZE " + std::to_string(size.lVal) + " is taken as " +
                               std::to_string(EffectiveSpeckSize(size.lVal)));
        CComPtr<ZRZoneManager> zones;
        LONG count = 0;
        if (FAILED(step.process->GetZoneManager(&zones)) || !zones || FAILED(zones->GetCount(&count))) continue;
        for (LONG i = 0; i < count; ++i) {
            CComVariant index(i);
            CComPtr<IZRZone> zone;
            LONG width = 0, height = 0;
            if (FAILED(zones->GetZone(index, &zone)) || !zone || FAILED(zone->GetWidth(&width)) ||
                FAILED(zone->GetHeight(&height)))
                continue;
            if (width < 0 || height < 0)
                warnings.push_back(step.name + ": zone " + std::to_string(i + 1) + " has " +
                                   (width < 0 ? "width " + std::to_string(width) : "height " + std::to_string(height)) +
                                   ": it covers no pixel, so the process changes nothing there");
        }
    }
    return warnings;
}

std::vector<std::string> SettingWarnings::ForPage(const std::vector<PipelineStep>& steps, long width, long height,
                                                  long bits) {
    std::vector<std::string> warnings;
    if (bits != 1) return warnings;  // on grey and colour pages SIZE sets a filter window, not a group size
    for (const PipelineStep& step : steps) {
        CComVariant size;
        if (step.kind != "Despeckle" || !Read(step.process, u"SIZE", size) || size.vt != VT_I4) continue;
        const long effective = EffectiveSpeckSize(size.lVal);
        if (effective >= std::max(width, height))
            warnings.push_back(step.name + ": SIZE " + std::to_string(size.lVal) + " is at least the page's " +
                               std::to_string(width) + " x " + std::to_string(height) +
                               " pixels: every black group is removed and the page comes out white");
    }
    return warnings;
}
