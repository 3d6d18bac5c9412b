// A process class as the module knows it, declared once by the class: its
// name (which gives ProgID and description), class name, CLSID, registration
// script, control bitmap, type code, property table and factory. The module
// root lists the descriptors in catalogue order; registration, lookup, method
// texts and FinalConstruct all read them. O(1).
#pragma once

#include "framework/PropertyDecl.h"
#include "platform/com/Unknown.h"

#include <span>
#include <string>

struct ClassDescriptor {
    const char* name;       // "Invert": ProgID "ZRLeafmendClient91.Invert.1", description "ZRInvert Class"
    const char* className;  // "CZRInvert", the start of the class's method texts
    const CLSID* clsid;
    int scriptId;        // the registration script's resource id
    int toolboxBitmap;   // 0 when the class is no control
    bool writesVersion;  // registers "Version" = "1.0"
    long typeCode;       // process type stored by FinalConstruct
    std::span<const PropertyDecl> properties;
    IClassFactory* (*createFactory)();
};

// "ZRLeafmendClient91.<Name>.1"
std::string ProgIdOf(const ClassDescriptor& descriptor);
// "ZRLeafmendClient91.<Name>"
std::string VersionIndependentProgIdOf(const ClassDescriptor& descriptor);
// "ZR<Name> Class"
std::string DescriptionOf(const ClassDescriptor& descriptor);
// The declared property with this key (exact match), or null.
const PropertyDecl* FindProperty(const ClassDescriptor& descriptor, std::u16string_view key);
