// The registrar: runs registration scripts against HKEY_CLASSES_ROOT in
// register or unregister mode. Script language:
//   HKCR { [NoRemove|ForceRemove] name [= s 'text' | = d 'number'] [{ ... }] ... }
// inside a key also  val name = s 'text' | d 'number'  for named values.
// Names are bare words, braced GUIDs or 'quoted' ('' is a quote); %TOKEN%
// markers are replaced before parsing. Register: ForceRemove keys are deleted
// first, then keys and values are written. Unregister: ForceRemove keys go
// with everything below them, plain keys go when nothing is left below them,
// NoRemove keys stay. O(script length) plus the registry writes.
#pragma once

#include "platform/com/ComApi.h"

#include <map>
#include <string>

class ZR_COM_API Registrar {
public:
    enum class Mode { Register, Unregister };

    void AddReplacement(const std::string& token, const std::string& value);
    // Answers false with a reason (line and cause) when the script does not
    // parse, or the registry's reason when its file cannot be read or written;
    // either way nothing changes. A script is one read-modify-write of the file.
    bool Run(const std::string& script, Mode mode, std::string* error = nullptr);

private:
    std::map<std::string, std::string> replacements_;
};
