// The module's class table: the descriptors the module root lists, in the
// order of registration and lookup, and the lookups over them. The list
// itself is defined above the framework (module/), which alone knows the
// process classes. O(n) lookups over 13 entries.
#pragma once

#include "framework/ClassDescriptor.h"

#include <span>
#include <string>

using ClassList = std::span<const ClassDescriptor* const>;

// Defined by the module root.
ClassList ClassCatalogue();

const ClassDescriptor* FindClass(ClassList classes, REFCLSID clsid);
inline const ClassDescriptor* FindClass(REFCLSID clsid) { return FindClass(ClassCatalogue(), clsid); }
// "CLSID_ZR<Name>" for method texts; "CLSID_unknown" when not in the table.
std::string ClsidName(REFCLSID clsid);
