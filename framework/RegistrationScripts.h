// The module's registration scripts, made from the class descriptors: the
// application identifier script and one script per class (all of one shape),
// in the registrar's language, with the tokens %MODULE%, %APPID% and
// %OLEMISC% left for the registrar. O(script length).
#pragma once

#include "framework/ClassDescriptor.h"

#include <string>

// Script 101: the application identifier.
std::string ModuleRegistrationScript();
// The class's script: versioned and version-independent ProgIDs, the CLSID
// key with its server, threading model, type library and, for controls,
// the control keys.
std::string ClassRegistrationScript(const ClassDescriptor& descriptor);
// The type library's keys (TypeLib\{LIBID}\1.0).
std::string TypeLibraryRegistrationScript();

inline constexpr const char* kOleMiscStatus = "131473";
