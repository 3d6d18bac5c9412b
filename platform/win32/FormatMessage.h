// The system's message texts for HRESULTs (FormatMessageW with the system
// table). A small table of the codes this system meets; O(log n).
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/ComTypes.h"

#include <string>

// The text with its trailing line break, as the system gives it; "" when the
// system has no text for the code.
ZR_COM_API std::u16string SystemMessageText(HRESULT hr);
