// Finding and configuring processes for the command line: loads the process
// module and registers it for this run, resolves short names ("Rotate") and
// ProgIDs, and sets properties from KEY=VALUE texts with the bag's own type
// checks. O(properties) per process.
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <stdexcept>
#include <string>
#include <vector>

struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct PropertyInfo {
    std::string name;
    std::string type;
    std::string value;
};

struct ProcessInfo {
    std::string shortName;
    std::string progId;
    std::vector<PropertyInfo> properties;
};

class ProcessFactory {
public:
    // Loads the module at `modulePath` (empty: beside the executable) and
    // registers it and the host classes in this process's registry.
    explicit ProcessFactory(const std::string& modulePath = "");

    // "Rotate", "rotate", "ZRLeafmendClient91.Rotate" or the versioned ProgID.
    std::string ResolveProgId(const std::string& name) const;
    CComPtr<IZRProcessEx> Create(const std::string& name) const;
    // "Rotate RotationAngle=180 OTHER=1": the process with its properties set.
    CComPtr<IZRProcessEx> CreateFromText(const std::string& text) const;
    static void SetProperty(IZRProcessEx* process, const std::string& processName, const std::string& assignment);
    // Adds a zone "LEFT,TOP,WIDTH,HEIGHT" in pixels; refused for processes without zones.
    static void AddZone(IZRProcessEx* process, const std::string& processName, const std::string& zone);
    static bool HasZones(IZRProcessEx* process);
    static std::vector<PropertyInfo> Properties(IZRProcessEx* process);
    std::vector<ProcessInfo> Available() const;

    // The process module beside the executable (../lib or the same folder).
    static std::string DefaultModulePath();
    // The description of the thread's error information, or the system text.
    static std::string LastErrorText(HRESULT hr);

private:
    std::vector<std::string> shortNames_;
};
