// Message lookup and formatting.
#include "framework/Messages.h"

#include "framework/Culture.h"
#include "platform/com/Bstr.h"
#include "platform/win32/StringResources.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::u16string LoadMessage(UINT id) { return LoadStringText(Culture::CurrentModule(), id, 512); }

std::u16string FormatMessageIdV(UINT id, ...) {
    const std::string format = Utf16ToUtf8(LoadMessage(id));
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format.c_str(), args);
    va_end(args);
    std::u16string result;
    if (needed >= 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format.c_str(), copy);
        result = Utf8ToUtf16(std::string_view(buffer.data(), static_cast<std::size_t>(needed)));
    }
    va_end(copy);
    return result;
}
