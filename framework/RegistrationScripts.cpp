// Registration script texts made from the class descriptors.
#include "framework/RegistrationScripts.h"

#include "resources/Identifiers.h"

std::string ModuleRegistrationScript() {
    return "HKCR\n"
           "{\n"
           "\tNoRemove AppID\n"
           "\t{\n"
           "\t\t'%APPID%' = s 'ZRLeafmendClient91'\n"
           "\t\t'ZRLeafmendClient91.DLL'\n"
           "\t\t{\n"
           "\t\t\tval AppID = s '%APPID%'\n"
           "\t\t}\n"
           "\t}\n"
           "}\n";
}

std::string ClassRegistrationScript(const ClassDescriptor& descriptor) {
    const std::string progId = ProgIdOf(descriptor);
    const std::string independent = VersionIndependentProgIdOf(descriptor);
    const std::string description = DescriptionOf(descriptor);
    const std::string clsid = GuidToString(*descriptor.clsid);
    std::string script = "HKCR\n{\n";
    script += "\t" + progId + " = s '" + description + "'\n\t{\n\t\tCLSID = s '" + clsid + "'\n\t}\n";
    script += "\t" + independent + " = s '" + description + "'\n\t{\n\t\tCLSID = s '" + clsid + "'\n\t\tCurVer = s '" +
              progId + "'\n\t}\n";
    script += "\tNoRemove CLSID\n\t{\n";
    script += "\t\tForceRemove " + clsid + " = s '" + description + "'\n\t\t{\n";
    script += "\t\t\tProgID = s '" + progId + "'\n";
    script += "\t\t\tVersionIndependentProgID = s '" + independent + "'\n";
    script += "\t\t\tForceRemove 'Programmable'\n";
    script += "\t\t\tInprocServer32 = s '%MODULE%'\n\t\t\t{\n\t\t\t\tval ThreadingModel = s 'Both'\n\t\t\t}\n";
    script += "\t\t\tval AppID = s '%APPID%'\n";
    script += "\t\t\t'TypeLib' = s '" + GuidToString(LIBID_ZRLeafmendLib) + "'\n";
    if (descriptor.toolboxBitmap) {
        script += "\t\t\tForceRemove 'Control'\n";
        script +=
            "\t\t\tForceRemove 'ToolboxBitmap32' = s '%MODULE%, " + std::to_string(descriptor.toolboxBitmap) + "'\n";
        script += "\t\t\t'MiscStatus' = s '0'\n\t\t\t{\n\t\t\t\t'1' = s '%OLEMISC%'\n\t\t\t}\n";
    }
    if (descriptor.writesVersion) script += "\t\t\t'Version' = s '1.0'\n";
    script += "\t\t}\n\t}\n}\n";
    return script;
}

std::string TypeLibraryRegistrationScript() {
    return "HKCR\n"
           "{\n"
           "\tNoRemove TypeLib\n"
           "\t{\n"
           "\t\tForceRemove " +
           GuidToString(LIBID_ZRLeafmendLib) +
           "\n"
           "\t\t{\n"
           "\t\t\t'1.0' = s 'ZRLeafmendClient91 Type Library'\n"
           "\t\t\t{\n"
           "\t\t\t\t'0'\n"
           "\t\t\t\t{\n"
           "\t\t\t\t\twin32 = s '%MODULE%'\n"
           "\t\t\t\t}\n"
           "\t\t\t\tFLAGS = s '0'\n"
           "\t\t\t}\n"
           "\t\t}\n"
           "\t}\n"
           "}\n";
}
