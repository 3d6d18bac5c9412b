// Culture state and resource module lookup.
#include "framework/Culture.h"

#include "platform/com/Bstr.h"
#include "platform/win32/StringResources.h"
#include "platform/win32/SystemFolders.h"
#include "resources/StringTable.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct CultureState {
    std::mutex mutex;  // guards culture name and flag; the handle is atomic
    std::u16string culture;
    std::atomic<HINSTANCE> loaded{nullptr};  // the loaded resource module, none at first
    std::atomic<HINSTANCE> current{nullptr};
    bool rightToLeft = false;
    HINSTANCE own = nullptr;
    // Every module ever loaded; a replaced module stays loaded because another
    // thread may be reading a message from it right now.
    std::vector<HINSTANCE> retired;
};

CultureState& State() {
    static CultureState* state = [] {
        auto* s = new CultureState();  // process lifetime
        std::size_t count = 0;
        const StringTableEntry* table = EnglishStringTable(&count);
        s->own = RegisterStringTable(table, count);
        s->current = s->own;
        return s;
    }();
    return *state;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && OleStrEqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool FileExists(const std::u16string& path) {
    struct _stat64i32 st {};
    return _wstat64i32(path.c_str(), &st) == 0;
}

std::u16string CommonFiles() {
    OLECHAR buffer[261] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PROGRAM_FILES_COMMON, 0)) return {};
    return buffer;
}

// Loads `path` as the resource module for `culture` and answers its handle.
// The module it replaces stays loaded: another thread may be reading a message
// from it right now.
HINSTANCE LoadAsCurrent(const std::u16string& path, const std::u16string& culture) {
    HINSTANCE module = LoadLibraryW(path.c_str());
    if (!module) return nullptr;
    CultureState& state = State();
    std::lock_guard lock(state.mutex);
    state.retired.push_back(module);
    state.loaded = module;
    state.culture = culture;
    state.rightToLeft = StartsWithNoCase(culture, u"ar");
    return module;
}

}  // namespace

HINSTANCE Culture::CurrentModule() { return State().current.load(); }

std::string Culture::CurrentCulture() {
    CultureState& state = State();
    std::lock_guard lock(state.mutex);
    return Utf16ToUtf8(state.culture);
}

bool Culture::IsRightToLeft() {
    CultureState& state = State();
    std::lock_guard lock(state.mutex);
    return state.rightToLeft;
}

HINSTANCE Culture::Lookup(const char16_t* culturePtr, const std::u16string& folderTemplate,
                          const std::u16string& moduleName) {
    if (!culturePtr) return nullptr;
    const std::u16string culture(culturePtr);
    CultureState& state = State();
    {
        std::lock_guard lock(state.mutex);
        if (OleStrEqualNoCase(culture, state.culture)) return state.loaded.load();
    }
    std::u16string folder = folderTemplate;
    if (!folder.empty() && folder[0] == u'<') {
        const std::u16string common = CommonFiles();
        if (StartsWithNoCase(folder, u"<COMMONFILES>")) {
            folder = common + folder.substr(13);
        } else if (StartsWithNoCase(folder, u"<QNCOMMONFILES>")) {
            folder = common + u"/Tolvenar" + folder.substr(15);
        } else if (StartsWithNoCase(folder, u"<ZRCOMMONFILES>")) {
            folder = common + u"/Tolvenar/Tallyworks" + folder.substr(15);
        }
    }
    const std::u16string path = folder + u"/" + culture + u"/" + moduleName + u".dll";
    if (FileExists(path)) return LoadAsCurrent(path, culture);

    if (OleStrEqualNoCase(culture, u"zh-chs") || OleStrEqualNoCase(culture, u"zh-cn"))
        return Lookup(u"zh-Hans", folderTemplate, moduleName);
    if (OleStrEqualNoCase(culture, u"zh-cht") || OleStrEqualNoCase(culture, u"zh-hk"))
        return Lookup(u"zh-Hant", folderTemplate, moduleName);
    const std::size_t dash = culture.find(u'-');
    if (dash != std::u16string::npos) {
        const std::u16string neutral = folder + u"/" + culture.substr(0, dash) + u"/" + moduleName + u".dll";
        if (FileExists(neutral)) return LoadAsCurrent(neutral, culture);
    }
    return nullptr;
}

bool Culture::Switch(const std::u16string& culture) {
    HINSTANCE module = Lookup(culture.c_str(), u"<ZRCOMMONFILES>", u"ZRResources");
    if (!module) return false;
    State().current.exchange(module);
    if (StartsWithNoCase(culture, u"ar")) SetProcessDefaultLayout(LAYOUT_RTL);
    return true;
}

void Culture::ResetForTesting() {
    CultureState& state = State();
    std::lock_guard lock(state.mutex);
    state.culture.clear();
    state.loaded = nullptr;
    state.rightToLeft = false;
    state.current = state.own;
    SetProcessDefaultLayout(0);
}
