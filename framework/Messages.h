// Message texts: string lookup in the current resource module and
// printf-style formatting. O(length).
#pragma once

#include "platform/com/ComTypes.h"
#include "resources/MessageIds.h"

#include <string>

// String `id` of the current resource module (at most 512 characters), "" when missing.
std::u16string LoadMessage(UINT id);

// Formats string `id` with printf conversions (%s takes UTF-8 const char*, %d int).
std::u16string FormatMessageIdV(UINT id, ...);
template <class... Args>
std::u16string FormatMessageId(UINT id, Args... args) {
    return FormatMessageIdV(id, args...);
}
