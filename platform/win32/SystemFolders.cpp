// System folders and file calls over POSIX.
#include "platform/win32/SystemFolders.h"

#include "platform/com/Bstr.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {
std::atomic<DWORD> g_layout{0};

std::string FromWide(const OLECHAR* text) { return Utf16ToUtf8(std::u16string_view(text, OleStrLen(text))); }

std::string CommonFilesFolder() {
    if (const char* env = std::getenv("LEAFMEND_COMMON_FILES"); env && *env) return env;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&CommonFilesFolder), &info) && info.dli_fname) {
        std::filesystem::path lib = std::filesystem::absolute(info.dli_fname).parent_path();
        return (lib.parent_path() / "share" / "leafmend").string();
    }
    return "/usr/local/share/leafmend";
}
}  // namespace

BOOL SHGetSpecialFolderPathW(void*, OLECHAR* path, int folder, BOOL) {
    if (!path || folder != CSIDL_PROGRAM_FILES_COMMON) return 0;
    const std::u16string wide = Utf8ToUtf16(CommonFilesFolder());
    if (wide.size() >= 260) return 0;
    std::copy(wide.begin(), wide.end(), path);
    path[wide.size()] = 0;
    return 1;
}

BOOL SetProcessDefaultLayout(DWORD layout) {
    g_layout = layout;
    return 1;
}

BOOL GetProcessDefaultLayout(DWORD* layout) {
    if (!layout) return 0;
    *layout = g_layout;
    return 1;
}

void OutputDebugStringW(const OLECHAR* text) {
    static const bool enabled = std::getenv("LEAFMEND_DEBUG_TRACE") != nullptr;
    if (!enabled || !text) return;
    std::fputs(FromWide(text).c_str(), stderr);
}

BOOL DeleteFileW(const OLECHAR* path) {
    if (!path) return 0;
    return ::unlink(FromWide(path).c_str()) == 0 ? 1 : 0;
}

int _wstat64i32(const OLECHAR* path, struct _stat64i32* buffer) {
    if (!path || !buffer) return -1;
    struct stat st {};
    if (::stat(FromWide(path).c_str(), &st) != 0) return -1;
    buffer->st_mode = st.st_mode;
    buffer->st_size = static_cast<std::int32_t>(st.st_size);
    buffer->modified = st.st_mtim.tv_sec;
    return 0;
}
