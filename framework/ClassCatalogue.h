// The module's class table: every process class with its name, CLSID,
// registry script id, control flag, type code and factory. Table order is the
// order of registration and lookup. O(n) lookups over 13 entries.
#pragma once

#include "platform/com/Unknown.h"

#include <span>
#include <string>

struct ClassEntry {
    const char* name;  // "Invert" -> ProgID "ZRLeafmendClient91.Invert.1"
    const CLSID* clsid;
    int scriptId;
    int toolboxBitmap;   // 0 when the class is no control
    bool writesVersion;  // registers "Version" = "1.0"
    long typeCode;
    IClassFactory* (*createFactory)();  // null while the class is not built
};

std::span<const ClassEntry> ClassCatalogue();
const ClassEntry* FindClass(REFCLSID clsid);
// "ZRLeafmendClient91.<Name>.1"
std::string ProgIdOf(const ClassEntry& entry);
// "CLSID_ZR<Name>" for method texts; "CLSID_unknown" when not in the table.
std::string ClsidName(REFCLSID clsid);
