// Process creation for the command line.
#include "cli/ProcessFactory.h"

#include "host/HostInterfaces.h"
#include "host/HostRegistration.h"
#include "platform/com/Activation.h"
#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"
#include "platform/win32/FormatMessage.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {
constexpr const char* kPrefix = "ZRLeafmendClient91.";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

}  // namespace

std::string ProcessFactory::DefaultModulePath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    for (const auto& candidate : {dir / "../lib/libZRLeafmendClient91.so", dir / "libZRLeafmendClient91.so"})
        if (std::filesystem::exists(candidate)) return std::filesystem::canonical(candidate).string();
    return "libZRLeafmendClient91.so";
}

std::string ProcessFactory::LastErrorText(HRESULT hr) {
    CComPtr<IErrorInfo> info;
    std::string text;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        CComBSTR description;
        info->GetDescription(&description);
        text = description.utf8();
    }
    if (text.empty()) {
        text = Utf16ToUtf8(SystemMessageText(hr));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    if (text.empty()) text = "error " + Hex(hr);
    return text;
}

ProcessFactory::ProcessFactory(const std::string& modulePath) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const std::string path = modulePath.empty() ? DefaultModulePath() : modulePath;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) throw CliError("cannot load the process module " + path + ": " + ::dlerror());
    auto reg = reinterpret_cast<HRESULT (*)()>(::dlsym(module, "DllRegisterServer"));
    if (!reg) throw CliError("the process module " + path + " has no DllRegisterServer");
    const HRESULT hr = reg();
    if (FAILED(hr)) throw CliError("registering the process module failed: " + LastErrorText(hr));
    for (const std::string& key : Registry::Instance().SubKeys("")) {
        if (key.rfind(kPrefix, 0) == 0 && key.size() > 2 && key.compare(key.size() - 2, 2, ".1") == 0)
            shortNames_.push_back(
                key.substr(std::string(kPrefix).size(), key.size() - std::string(kPrefix).size() - 2));
    }
    std::sort(shortNames_.begin(), shortNames_.end());
}

std::string ProcessFactory::ResolveProgId(const std::string& name) const {
    const std::string lower = Lower(name);
    for (const std::string& shortName : shortNames_) {
        const std::string progId = kPrefix + shortName + ".1";
        if (lower == Lower(shortName) || lower == Lower(progId) || lower == Lower(kPrefix + shortName)) return progId;
    }
    std::string known;
    for (const std::string& shortName : shortNames_) known += (known.empty() ? "" : ", ") + shortName;
    throw CliError("unknown process '" + name + "' (available: " + known + ")");
}

CComPtr<IZRProcessEx> ProcessFactory::Create(const std::string& name) const {
    const std::string progId = ResolveProgId(name);
    CComPtr<IZRProcessEx> process;
    const HRESULT hr = CreateInstanceByProgId(progId, IID_IZRProcessEx, reinterpret_cast<void**>(&process));
    if (FAILED(hr)) throw CliError("cannot create " + progId + ": " + LastErrorText(hr));
    CComBSTR shortName(progId.substr(std::string(kPrefix).size(), progId.size() - std::string(kPrefix).size() - 2));
    process->put_Name(shortName);
    return process;
}

CComPtr<IZRProcessEx> ProcessFactory::CreateFromText(const std::string& text) const {
    std::istringstream words(text);
    std::string name, assignment;
    if (!(words >> name)) throw CliError("empty process description");
    CComPtr<IZRProcessEx> process = Create(name);
    while (words >> assignment) {
        if (Lower(assignment).rfind("zone=", 0) == 0)
            AddZone(process, name, assignment.substr(5));
        else
            SetProperty(process, name, assignment);
    }
    return process;
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
        if (Lower(property.name) == Lower(key)) {
            canonical = property.name;
            type = property.type;
        }
    }
    if (canonical.empty() && Lower(key) != "culture")
        throw CliError("unknown property '" + key + "' for " + processName + " (known: " + known + ")");
    CComBSTR name(canonical.empty() ? key : canonical);
    CComVariant text(value);
    if (!type.empty() && type != "VT_BSTR") {
        // Check the text against the declared type here, where the message can say why.
        CComVariant converted;
        const HRESULT check = VariantChangeType(&converted, &text, 0, VarTypeFromName(type));
        if (FAILED(check))
            throw CliError("property " + canonical + " of " + processName + " expects " + type + "; '" + value + "' " +
                           (check == DISP_E_OVERFLOW ? "is out of range" : "does not fit"));
    }
    const HRESULT hr = process->put_Properties(name, text);
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
    LONG low = 0, high = -1;
    SafeArrayGetLBound(names.parray, 1, &low);
    SafeArrayGetUBound(names.parray, 1, &high);
    for (LONG i = low; i <= high; ++i) {
        CComBSTR name;
        if (FAILED(SafeArrayGetElement(names.parray, &i, &name))) continue;
        CComVariant value;
        process->get_Properties(name, &value);
        result.push_back(PropertyInfo{name.utf8(), VarTypeName(value.vt), VariantToText(value)});
    }
    return result;
}

std::vector<ProcessInfo> ProcessFactory::Available() const {
    std::vector<ProcessInfo> result;
    for (const std::string& shortName : shortNames_) {
        CComPtr<IZRProcessEx> process = Create(shortName);
        result.push_back(ProcessInfo{shortName, kPrefix + shortName + ".1", Properties(process)});
    }
    return result;
}
