// Finding and configuring processes for the command line: loads the process
// module and registers it for this run, resolves short names ("Rotate") and
// ProgIDs, sets properties from KEY=VALUE texts with the bag's own type
// checks, and reads each property's one-line meaning from the process.
// O(properties) per process.
#pragma once

#include "cli/CliError.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <string>
#include <vector>

struct PropertyInfo {
    std::string name;
    std::string type;     // "VT_I2" ...
    std::string value;    // the current value as text
    std::string meaning;  // one line, empty when the process gives none
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
    // The short name of a known ProgID or name ("ZRLeafmendClient91.Rotate.1" -> "Rotate").
    std::string ShortName(const std::string& name) const;
    CComPtr<IZRProcessEx> Create(const std::string& name) const;
    // "Rotate RotationAngle=180 OTHER=1": the process with its properties set;
    // "zone=L,T,W,H" adds a zone, "mode=N" sets the process mode (unless the
    // process has a property of that name).
    CComPtr<IZRProcessEx> CreateFromText(const std::string& text) const;
    // A process mode from its text: a whole number in the 32-bit range; throws CliError.
    static LONG ParseMode(const std::string& text, const std::string& processName);
    static void SetProperty(IZRProcessEx* process, const std::string& processName, const std::string& assignment);
    // Adds a zone "LEFT,TOP,WIDTH,HEIGHT" in pixels; refused for processes without zones.
    static void AddZone(IZRProcessEx* process, const std::string& processName, const std::string& zone);
    static bool HasZones(IZRProcessEx* process);
    static std::vector<PropertyInfo> Properties(IZRProcessEx* process);
    std::vector<ProcessInfo> Available() const;

    // The description of the thread's error information, or the system text.
    static std::string LastErrorText(HRESULT hr);

private:
    std::vector<std::string> shortNames_;
};
