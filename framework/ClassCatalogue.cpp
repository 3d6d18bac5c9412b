// The class table and method texts.
#include "framework/ClassCatalogue.h"

#include "framework/ProcessExImpl.h"
#include "platform/com/ComObject.h"
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/geometry/CZRInvert.h"
#include "processes/geometry/CZRRotate.h"
#include "processes/lines/CZRDeskew.h"
#include "resources/Identifiers.h"

#include <new>

namespace {
template <class T>
IClassFactory* MakeFactory() {
    return new (std::nothrow) CComClassFactory<T>();
}

constexpr ClassEntry kClasses[] = {
    {"Invert", &CLSID_ZRInvert, 105, 0, true, 702, &MakeFactory<CZRInvert>},
    {"Deskew", &CLSID_ZRDeskew, 103, 102, true, 702, &MakeFactory<CZRDeskew>},
    {"Crop", &CLSID_ZRCrop, 106, 203, true, 702, nullptr},
    {"PageRemoval", &CLSID_ZRPageRemoval, 107, 0, false, 798, nullptr},
    {"BorderPadding", &CLSID_ZRBorderPadding, 108, 202, true, 702, nullptr},
    {"Resize", &CLSID_ZRResize, 206, 204, true, 702, nullptr},
    {"Smooth", &CLSID_ZRSmooth, 207, 205, true, 702, nullptr},
    {"Despeckle", &CLSID_ZRDespeckle, 109, 0, false, 798, &MakeFactory<CZRDespeckle>},
    {"LineRemoval", &CLSID_ZRLineRemoval, 110, 0, false, 798, nullptr},
    {"DynamicThresholding", &CLSID_ZRDynamicThresholding, 111, 0, false, 798, nullptr},
    {"ColorSmoothing", &CLSID_ZRColorSmoothing, 112, 0, false, 798, nullptr},
    {"Rotate", &CLSID_ZRRotate, 113, 0, true, 702, &MakeFactory<CZRRotate>},
    {"Deshade", &CLSID_ZRDeshade, 115, 0, true, 702, nullptr},
};
}  // namespace

std::span<const ClassEntry> ClassCatalogue() { return kClasses; }

const ClassEntry* FindClass(REFCLSID clsid) {
    for (const ClassEntry& entry : kClasses)
        if (*entry.clsid == clsid) return &entry;
    return nullptr;
}

std::string ProgIdOf(const ClassEntry& entry) { return std::string("ZRLeafmendClient91.") + entry.name + ".1"; }

std::string ClsidName(REFCLSID clsid) {
    const ClassEntry* entry = FindClass(clsid);
    return entry ? std::string("CLSID_ZR") + entry->name : std::string("CLSID_unknown");
}

std::string TemplateMethodText(const char* templateName, REFCLSID clsid, const char* method) {
    return std::string(templateName) + "<&struct _GUID const " + ClsidName(clsid) + ">::" + method;
}
