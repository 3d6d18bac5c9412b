// Lookups over the class table, descriptor texts and the templates' method texts.
#include "framework/ClassCatalogue.h"

std::string ProgIdOf(const ClassDescriptor& descriptor) { return VersionIndependentProgIdOf(descriptor) + ".1"; }

std::string VersionIndependentProgIdOf(const ClassDescriptor& descriptor) {
    return std::string("ZRLeafmendClient91.") + descriptor.name;
}

std::string DescriptionOf(const ClassDescriptor& descriptor) { return std::string("ZR") + descriptor.name + " Class"; }

const PropertyDecl* FindProperty(const ClassDescriptor& descriptor, std::u16string_view key) {
    for (const PropertyDecl& property : descriptor.properties)
        if (Utf8ToUtf16(property.key) == key) return &property;
    return nullptr;
}

const ClassDescriptor* FindClass(ClassList classes, REFCLSID clsid) {
    for (const ClassDescriptor* descriptor : classes)
        if (*descriptor->clsid == clsid) return descriptor;
    return nullptr;
}

std::string ClsidName(REFCLSID clsid) {
    const ClassDescriptor* descriptor = FindClass(clsid);
    return descriptor ? std::string("CLSID_ZR") + descriptor->name : std::string("CLSID_unknown");
}

std::string TemplateMethodText(const char* templateName, REFCLSID clsid, const char* method) {
    return std::string(templateName) + "<&struct _GUID const " + ClsidName(clsid) + ">::" + method;
}
