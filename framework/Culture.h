// The culture switch: which resource module every later message comes from.
// The state is created once per process and the module handle exchanged
// atomically. A lookup costs a few stat calls and, when found, one dlopen.
#pragma once

#include "platform/com/ComTypes.h"

#include <string>

class Culture {
public:
    // The resource module used for messages now (the module's own table until a switch).
    static HINSTANCE CurrentModule();
    static std::string CurrentCulture();
    static bool IsRightToLeft();

    // Looks a resource module up as described in Lookup and, when found, makes
    // it current; a culture starting with "ar" makes the process layout
    // right-to-left. Answers whether a module was found.
    static bool Switch(const std::u16string& culture);

    // Resource module lookup: `folderTemplate` is "<ZRCOMMONFILES>" (or
    // "<COMMONFILES>", "<QNCOMMONFILES>", or a plain folder); the module file is
    // folder/culture/moduleName.dll, with "zh-chs"/"zh-cn" -> "zh-Hans",
    // "zh-cht"/"zh-hk" -> "zh-Hant" and a region-less fallback. Null when none.
    static HINSTANCE Lookup(const char16_t* culture, const std::u16string& folderTemplate,
                            const std::u16string& moduleName);

    // Back to the module's own table and the empty culture (tests).
    static void ResetForTesting();
};
