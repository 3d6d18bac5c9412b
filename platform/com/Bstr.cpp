// BSTR allocation and UTF conversion through utfcpp. O(length).
#include "platform/com/Bstr.h"

#include <utf8.h>

#include <cstdlib>
#include <iterator>
#include <new>

namespace {
constexpr std::size_t kPrefix = sizeof(std::uint32_t);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
    if (bytes > 0x7FFFFFF0u) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    const auto byteCount = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &byteCount, kPrefix);
    auto* result = reinterpret_cast<OLECHAR*>(block + kPrefix);
    if (text && length)
        std::memcpy(result, text, bytes);
    else if (length)
        std::memset(result, 0, bytes);
    result[length] = 0;
    return result;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(OleStrLen(text)));
}

void SysFreeString(BSTR text) {
    if (text) std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

UINT SysStringByteLen(BSTR text) {
    if (!text) return 0;
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
    return bytes;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

int SysReAllocString(BSTR* target, const OLECHAR* text) {
    if (!target) return 0;
    BSTR fresh = SysAllocString(text);
    if (text && !fresh) return 0;
    SysFreeString(*target);
    *target = fresh;
    return 1;
}

std::size_t OleStrLen(const OLECHAR* text) {
    std::size_t n = 0;
    if (text)
        while (text[n]) ++n;
    return n;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::string valid;
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid));
    std::u16string out;
    utf8::utf8to16(valid.begin(), valid.end(), std::back_inserter(out));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    // Replace unpaired surrogates so the conversion cannot throw.
    std::u16string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                clean.push_back(c);
                clean.push_back(text[++i]);
            } else {
                clean.push_back(0xFFFD);
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            clean.push_back(0xFFFD);
        } else {
            clean.push_back(c);
        }
    }
    utf8::utf16to8(clean.begin(), clean.end(), std::back_inserter(out));
    return out;
}

std::string BstrToUtf8(BSTR text) {
    if (!text) return {};
    return Utf16ToUtf8(std::u16string_view(text, SysStringLen(text)));
}

BSTR Utf8ToBstr(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

bool OleStrEqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return true;
}
