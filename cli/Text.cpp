// UTF-8 validation follows the Unicode table of well-formed byte sequences.
#include "cli/Text.h"

#include <algorithm>
#include <cstdio>

namespace text {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Hex(HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

namespace {
// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one
// (overlong forms, surrogates and values past U+10FFFF are invalid).
std::size_t ValidSequence(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}
}  // namespace

std::string Printable(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = ValidSequence(bytes, i);
        if (length == 0) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(bytes[i]));
            out += escaped;
            ++i;
        } else {
            out.append(bytes, i, length);
            i += length;
        }
    }
    return out;
}

}  // namespace text
