// Names resolve against the ProgIDs the module registered for this run, so a
// process added to the module is known here without any list of our own.
#include "cli/ProcessFactory.h"

#include "cli/LateBound.h"
#include "cli/ProcessModule.h"
#include "cli/Text.h"
#include "host/HostInterfaces.h"
#include "host/HostRegistration.h"
#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "platform/win32/FormatMessage.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {
constexpr std::string_view kPrefix = "ZRLeafmendClient91.";
constexpr std::string_view kVersion = ".1";

// The meaning the process publishes for one of its keys ("" when it has none).
std::string Meaning(const LateBound& describe, const CComBSTR& key) {
    if (!describe.Found()) return "";
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = key;
    CComVariant result;
    if (FAILED(describe.Call(argument, &result)) || result.vt != VT_BSTR) return "";
    return BstrToUtf8(result.bstrVal);
}
}  // namespace

std::string ProcessFactory::LastErrorText(HRESULT hr) {
    CComPtr<IErrorInfo> info;
    std::string message;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        CComBSTR description;
        info->GetDescription(&description);
        message = description.utf8();
    }
    if (message.empty()) {
        message = Utf16ToUtf8(SystemMessageText(hr));
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    }
    if (message.empty()) message = "error " + text::Hex(hr);
    return message;
}

ProcessFactory::ProcessFactory(const std::string& modulePath) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const ProcessModule& module = ProcessModule::Load(modulePath);
    const HRESULT hr = module.Register();
    if (FAILED(hr)) throw CliError("registering the process module failed: " + LastErrorText(hr));
    for (const std::string& key : Registry::Instance().SubKeys("")) {
        if (key.size() > kPrefix.size() + kVersion.size() && key.starts_with(kPrefix) && key.ends_with(kVersion))
            shortNames_.push_back(key.substr(kPrefix.size(), key.size() - kPrefix.size() - kVersion.size()));
    }
    std::sort(shortNames_.begin(), shortNames_.end());
}

std::string ProcessFactory::ShortName(const std::string& name) const {
    const std::string lower = text::Lower(name);
    for (const std::string& shortName : shortNames_) {
        const std::string unversioned = std::string(kPrefix) + shortName;
        if (lower == text::Lower(shortName) || lower == text::Lower(unversioned) ||
            lower == text::Lower(unversioned + std::string(kVersion)))
            return shortName;
    }
    std::string known;
    for (const std::string& shortName : shortNames_) known += (known.empty() ? "" : ", ") + shortName;
    throw CliError("unknown process '" + name + "' (available: " + known + ")");
}

std::string ProcessFactory::ResolveProgId(const std::string& name) const {
    return std::string(kPrefix) + ShortName(name) + std::string(kVersion);
}

CComPtr<IZRProcessEx> ProcessFactory::Create(const std::string& name) const {
    const std::string shortName = ShortName(name);
    const std::string progId = ResolveProgId(shortName);
    CComPtr<IZRProcessEx> process;
    const HRESULT hr = CreateInstanceByProgId(progId, IID_IZRProcessEx, reinterpret_cast<void**>(&process));
    if (FAILED(hr)) throw CliError("cannot create " + progId + ": " + LastErrorText(hr));
    CComBSTR shown(shortName);
    process->put_Name(shown);
    return process;
}

CComPtr<IZRProcessEx> ProcessFactory::CreateFromText(const std::string& description) const {
    std::istringstream words(description);
    std::string name, assignment;
    if (!(words >> name)) throw CliError("empty process description");
    CComPtr<IZRProcessEx> process = Create(name);
    const std::vector<PropertyInfo> declared = Properties(process);
    const bool modeIsProperty = std::any_of(declared.begin(), declared.end(),
                                            [](const PropertyInfo& p) { return text::Lower(p.name) == "mode"; });
    while (words >> assignment) {
        const std::string lower = text::Lower(assignment);
        if (lower.starts_with("zone="))
            AddZone(process, name, assignment.substr(5));
        else if (lower.starts_with("mode=") && !modeIsProperty)
            process->put_Mode(ParseMode(assignment.substr(5), name));
        else
            SetProperty(process, name, assignment);
    }
    return process;
}

LONG ProcessFactory::ParseMode(const std::string& value, const std::string& processName) {
    CComVariant given(value), converted;
    const HRESULT hr = VariantChangeType(&converted, &given, 0, VT_I4);
    if (value.empty() || FAILED(hr))
        throw CliError("the mode of " + processName + " must be a whole number; '" + value + "' " +
                       (hr == DISP_E_OVERFLOW ? "is out of range" : "is not one"));
    return converted.lVal;
}

void ProcessFactory::SetProperty(IZRProcessEx* process, const std::string& processName, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0)
        throw CliError("property '" + assignment + "' for " + processName + " must be written KEY=VALUE");
    const std::string key = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    std::string known, canonical, type;
    for (const PropertyInfo& property : Properties(process)) {
        known += (known.empty() ? "" : ", ") + property.name;
        if (text::Lower(property.name) == text::Lower(key)) {
            canonical = property.name;
            type = property.type;
        }
    }
    if (canonical.empty() && text::Lower(key) != "culture")
        throw CliError("unknown property '" + key + "' for " + processName + " (known: " + known + ")");
    CComBSTR name(canonical.empty() ? key : canonical);
    CComVariant given(value);
    if (!type.empty() && type != "VT_BSTR") {
        // The value goes in with its declared type, checked here where the message can say why.
        CComVariant converted;
        const HRESULT check = VariantChangeType(&converted, &given, 0, VarTypeFromName(type));
        if (FAILED(check))
            throw CliError("property " + canonical + " of " + processName + " expects " + type + "; '" + value + "' " +
                           (check == DISP_E_OVERFLOW ? "is out of range" : "does not fit"));
        given = std::move(converted);
    }
    const HRESULT hr = process->put_Properties(name, given);
    if (FAILED(hr)) throw CliError("cannot set " + key + "=" + value + " on " + processName + ": " + LastErrorText(hr));
}

bool ProcessFactory::HasZones(IZRProcessEx* process) {
    CComPtr<ZRZoneManager> zones;
    return SUCCEEDED(process->GetZoneManager(&zones)) && zones;
}

void ProcessFactory::AddZone(IZRProcessEx* process, const std::string& processName, const std::string& zone) {
    long values[4];
    char tail = 0;
    if (std::sscanf(zone.c_str(), "%ld,%ld,%ld,%ld%c", &values[0], &values[1], &values[2], &values[3], &tail) != 4)
        throw CliError("zone '" + zone + "' must be LEFT,TOP,WIDTH,HEIGHT in pixels");
    for (long v : values)
        if (v < -1000000000L || v > 1000000000L) throw CliError("zone '" + zone + "' is out of range");
    CComPtr<ZRZoneManager> zones;
    if (FAILED(process->GetZoneManager(&zones)) || !zones) throw CliError(processName + " does not work on zones");
    CComPtr<IZRZone> created;
    if (FAILED(zones->CreateZone(&created)) ||
        FAILED(created->SetRect(ZONE_UNITS_PIXELS, values[0], values[1], values[2], values[3])))
        throw CliError("cannot add zone '" + zone + "' to " + processName);
}

std::vector<PropertyInfo> ProcessFactory::Properties(IZRProcessEx* process) {
    std::vector<PropertyInfo> result;
    CComVariant names;
    if (FAILED(process->GetPropertyNames(&names)) || names.vt != (VT_ARRAY | VT_BSTR) || !names.parray) return result;
    const LateBound describe(process, u"PropertyDescription");
    LONG low = 0, high = -1;
    SafeArrayGetLBound(names.parray, 1, &low);
    SafeArrayGetUBound(names.parray, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        CComBSTR name;
        if (FAILED(SafeArrayGetElement(names.parray, &i, &name))) continue;
        CComVariant value;
        process->get_Properties(name, &value);
        result.push_back(
            PropertyInfo{name.utf8(), VarTypeName(value.vt), VariantToText(value), Meaning(describe, name)});
    }
    return result;
}

std::vector<ProcessInfo> ProcessFactory::Available() const {
    std::vector<ProcessInfo> result;
    for (const std::string& shortName : shortNames_) {
        CComPtr<IZRProcessEx> process = Create(shortName);
        result.push_back(ProcessInfo{shortName, ResolveProgId(shortName), Properties(process)});
    }
    return result;
}
