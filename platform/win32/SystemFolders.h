// Folders, layout and small file calls the module needs from the system:
// the common program files folder, the process default layout, debug output,
// file deletion and file status. O(1) each.
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/ComTypes.h"

#include <string>

constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002b;
constexpr DWORD LAYOUT_RTL = 1;

// CSIDL_PROGRAM_FILES_COMMON: LEAFMEND_COMMON_FILES when set, else
// <directory of libzrcom.so>/../share/leafmend. Writes at most 260 characters.
ZR_COM_API BOOL SHGetSpecialFolderPathW(void* window, OLECHAR* path, int folder, BOOL create);
ZR_COM_API BOOL SetProcessDefaultLayout(DWORD layout);
ZR_COM_API BOOL GetProcessDefaultLayout(DWORD* layout);
// Writes to stderr only when LEAFMEND_DEBUG_TRACE is set; otherwise nothing.
ZR_COM_API void OutputDebugStringW(const OLECHAR* text);
ZR_COM_API BOOL DeleteFileW(const OLECHAR* path);

struct _stat64i32 {
    std::uint32_t st_mode;
    std::int32_t st_size;   // 32-bit size, as the run-time library's variant
    std::int64_t modified;  // seconds since the epoch
};
// 0 on success, -1 when the file cannot be examined.
ZR_COM_API int _wstat64i32(const OLECHAR* path, struct _stat64i32* buffer);
