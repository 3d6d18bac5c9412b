// Small text helpers the command shares: lower case for name matching, the
// hexadecimal form of an HRESULT, and file names made printable (bytes that
// are not UTF-8 shown as \xHH) for messages and the JSON report. O(length).
#pragma once

#include "platform/com/ComTypes.h"

#include <string>

namespace text {
std::string Lower(std::string s);
// "0x80070057".
std::string Hex(HRESULT hr);
// Valid UTF-8 is kept; every byte of an invalid sequence becomes "\xHH", and
// a backslash stays a backslash. Safe for nlohmann::json.
std::string Printable(const std::string& bytes);
}  // namespace text
