// BSTR: length-prefixed UTF-16 strings (4-byte byte count before the text,
// terminating zero after it), and UTF-8/UTF-16 conversion. O(length).
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/ComTypes.h"

#include <string>
#include <string_view>

ZR_COM_API BSTR SysAllocString(const OLECHAR* text);
ZR_COM_API BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
ZR_COM_API void SysFreeString(BSTR text);
ZR_COM_API UINT SysStringLen(BSTR text);
ZR_COM_API UINT SysStringByteLen(BSTR text);
ZR_COM_API int SysReAllocString(BSTR* target, const OLECHAR* text);

// Conversions (invalid sequences are replaced, never thrown).
ZR_COM_API std::u16string Utf8ToUtf16(std::string_view text);
ZR_COM_API std::string Utf16ToUtf8(std::u16string_view text);
// A BSTR (null = empty) as UTF-8.
ZR_COM_API std::string BstrToUtf8(BSTR text);
// A new BSTR holding the UTF-8 text; the caller frees it.
ZR_COM_API BSTR Utf8ToBstr(std::string_view text);
// Length of a zero-terminated UTF-16 string.
ZR_COM_API std::size_t OleStrLen(const OLECHAR* text);
// Case-insensitive compare of ASCII letters (other characters compare exactly).
ZR_COM_API bool OleStrEqualNoCase(std::u16string_view a, std::u16string_view b);
