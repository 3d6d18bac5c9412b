// Basic COM/Win32 scalar types, HRESULT codes and GUIDs.
// Stands in for the Windows SDK's wtypes/winerror headers. Header only, no cost.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using VARIANT_BOOL = std::int16_t;
using VARTYPE = std::uint16_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using HMODULE = void*;
using HINSTANCE = void*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

constexpr HRESULT MakeHr(std::uint32_t value) { return static_cast<HRESULT>(value); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002u);
constexpr HRESULT E_POINTER = MakeHr(0x80004003u);
constexpr HRESULT E_ABORT = MakeHr(0x80004004u);
constexpr HRESULT E_FAIL = MakeHr(0x80004005u);
constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = MakeHr(0x80070005u);
constexpr HRESULT E_HANDLE = MakeHr(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHr(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHr(0x80040111u);
constexpr HRESULT REGDB_E_READREGDB = MakeHr(0x80040150u);
constexpr HRESULT REGDB_E_WRITEREGDB = MakeHr(0x80040151u);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154u);
constexpr HRESULT CO_E_CLASSSTRING = MakeHr(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHr(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = MakeHr(0x800401F9u);
constexpr HRESULT CONNECT_E_NOCONNECTION = MakeHr(0x80040200u);
constexpr HRESULT CONNECT_E_ADVISELIMIT = MakeHr(0x80040201u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = MakeHr(0x80040202u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHr(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHr(0x80020003u);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHr(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHr(0x80020006u);
constexpr HRESULT DISP_E_OVERFLOW = MakeHr(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = MakeHr(0x8002000Bu);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHr(0x8002000Eu);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHr(0x8002802Bu);
constexpr HRESULT ERROR_FILE_NOT_FOUND_HR = MakeHr(0x80070002u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr std::uint32_t HRESULT_FACILITY(HRESULT hr) { return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFFu; }
constexpr std::uint32_t HRESULT_CODE(HRESULT hr) { return static_cast<std::uint32_t>(hr) & 0xFFFFu; }
constexpr std::uint32_t FACILITY_ITF = 4;
constexpr std::uint32_t FACILITY_WIN32 = 7;
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t code) {
    return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

// Class-context flags of CoCreateInstance.
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
inline bool InlineIsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID IID_NULL = GUID_NULL;

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, any case).
std::optional<GUID> ParseGuid(const std::string& text);
// Prints the braced upper-case form used by the registry.
std::string GuidToString(const GUID& guid);

// Compile-time GUID literal from its braced text, e.g. MakeGuid("{5F93EACA-...}").
constexpr std::uint8_t GuidHexNibble(char c) {
    return static_cast<std::uint8_t>(c >= '0' && c <= '9'   ? c - '0'
                                     : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : throw "bad hex digit in GUID literal");
}
template <std::size_t N>
constexpr GUID MakeGuid(const char (&text)[N]) {
    static_assert(N == 39, "GUID literal must be {8-4-4-4-12}");
    auto hex = [&](std::size_t pos, std::size_t len) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < len; ++i) v = (v << 4) | GuidHexNibble(text[pos + i]);
        return v;
    };
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(hex(1, 8));
    g.Data2 = static_cast<std::uint16_t>(hex(10, 4));
    g.Data3 = static_cast<std::uint16_t>(hex(15, 4));
    g.Data4[0] = static_cast<std::uint8_t>(hex(20, 2));
    g.Data4[1] = static_cast<std::uint8_t>(hex(22, 2));
    for (std::size_t i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(hex(25 + 2 * i, 2));
    return g;
}
