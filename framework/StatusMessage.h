// Posting a status message to a page: a host ZRStatusMessage made by ProgID,
// given the process's name, the message type (2 for a page refused for its
// depth, 3 for a removed page) and the text, then added to the page's list.
// O(1) host calls.
#pragma once

#include "host/HostInterfaces.h"
#include "platform/com/ComPtr.h"

#include <string>

// Posts `text`; a page without a message list gets none (false). Every failing
// host call is raised as CZRException(hr).
bool PostStatusMessage(IZRPage* page, BSTR processName, LONG messageType, const std::u16string& text);
// The text of message `messageId` from the module's current message table.
bool PostStatusMessage(IZRPage* page, BSTR processName, LONG messageType, UINT messageId);

constexpr LONG kStatusRefused = 2;      // the page was left alone (its depth, for example)
constexpr LONG kStatusPageRemoved = 3;  // page removal took the page out
