// GUID text forms: parsing and printing of the braced registry form. O(1).
#include "platform/com/ComApi.h"
#include "platform/com/ComTypes.h"

#include <cctype>
#include <cstdio>

ZR_COM_API std::optional<GUID> ParseGuid(const std::string& input) {
    std::string text = input;
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    for (std::size_t i = 0; i < 36; ++i) {
        const bool dash = (i == 8 || i == 13 || i == 18 || i == 23);
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    auto hex = [&](std::size_t pos, std::size_t len) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < len; ++i) v = (v << 4) | GuidHexNibble(text[pos + i]);
        return v;
    };
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(hex(0, 8));
    g.Data2 = static_cast<std::uint16_t>(hex(9, 4));
    g.Data3 = static_cast<std::uint16_t>(hex(14, 4));
    g.Data4[0] = static_cast<std::uint8_t>(hex(19, 2));
    g.Data4[1] = static_cast<std::uint8_t>(hex(21, 2));
    for (std::size_t i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<std::uint8_t>(hex(24 + 2 * i, 2));
    return g;
}

ZR_COM_API std::string GuidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}
