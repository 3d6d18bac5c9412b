// Resource modules over dlopen.
#include "platform/win32/StringResources.h"

#include "platform/com/Bstr.h"

#include <dlfcn.h>

#include <algorithm>
#include <new>

namespace {
struct StringModule {
    void* library = nullptr;
    const StringTableEntry* entries = nullptr;
    std::size_t count = 0;
};
}  // namespace

HINSTANCE RegisterStringTable(const StringTableEntry* entries, std::size_t count) {
    auto* module = new (std::nothrow) StringModule{nullptr, entries, count};
    return module;
}

HINSTANCE LoadLibraryW(const OLECHAR* path) {
    if (!path) return nullptr;
    const std::string file = Utf16ToUtf8(std::u16string_view(path, OleStrLen(path)));
    void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    auto table = reinterpret_cast<StringTableExport>(::dlsym(library, kStringTableExportName));
    if (!table) {
        ::dlclose(library);
        return nullptr;
    }
    std::size_t count = 0;
    const StringTableEntry* entries = table(&count);
    auto* module = new (std::nothrow) StringModule{library, entries, count};
    if (!module) ::dlclose(library);
    return module;
}

BOOL FreeLibrary(HINSTANCE handle) {
    auto* module = static_cast<StringModule*>(handle);
    if (!module) return 0;
    if (module->library) ::dlclose(module->library);
    delete module;
    return 1;
}

int LoadStringW(HINSTANCE handle, UINT id, OLECHAR* buffer, int max) {
    const auto* module = static_cast<const StringModule*>(handle);
    if (!module || !buffer || max <= 0) return 0;
    const StringTableEntry* end = module->entries + module->count;
    const StringTableEntry* it =
        std::lower_bound(module->entries, end, id, [](const StringTableEntry& e, UINT key) { return e.id < key; });
    if (it == end || it->id != id || !it->text) {
        buffer[0] = 0;
        return 0;
    }
    const std::size_t length = std::min<std::size_t>(OleStrLen(it->text), static_cast<std::size_t>(max - 1));
    std::copy(it->text, it->text + length, buffer);
    buffer[length] = 0;
    return static_cast<int>(length);
}

std::u16string LoadStringText(HINSTANCE module, UINT id, int max) {
    std::u16string buffer(static_cast<std::size_t>(max) + 1, u'\0');
    const int length = LoadStringW(module, id, buffer.data(), max + 1);
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}
