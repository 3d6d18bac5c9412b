// String tables and resource modules. A module's strings are a compiled-in
// table; a localised resource module is a shared object that exports
// `ZRGetStringTable`. LoadLibraryW/FreeLibrary load and free such modules and
// LoadStringW looks a string up by id. O(log n) per lookup.
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/ComTypes.h"

#include <cstddef>
#include <string>

struct StringTableEntry {
    UINT id;
    const char16_t* text;
};

// The export every resource module provides (C linkage).
using StringTableExport = const StringTableEntry* (*)(std::size_t* count);
constexpr const char* kStringTableExportName = "ZRGetStringTable";

// A handle for a compiled-in table (the calling module's own strings). The
// entries must be sorted by id and outlive the handle.
ZR_COM_API HINSTANCE RegisterStringTable(const StringTableEntry* entries, std::size_t count);
// Loads a resource module; null when the file is missing or exports no table.
ZR_COM_API HINSTANCE LoadLibraryW(const OLECHAR* path);
ZR_COM_API BOOL FreeLibrary(HINSTANCE module);
// Copies string `id` (at most max - 1 characters and a terminating zero) into
// the buffer; answers its length, 0 when there is no such string.
ZR_COM_API int LoadStringW(HINSTANCE module, UINT id, OLECHAR* buffer, int max);
// Convenience: the whole string, "" when missing (at most `max` characters).
ZR_COM_API std::u16string LoadStringText(HINSTANCE module, UINT id, int max = 512);
