// The system's texts for the HRESULTs the module and host report, as
// FormatMessageW gives them. O(table size).
#include "platform/win32/FormatMessage.h"

#include "platform/com/Bstr.h"

namespace {
struct SystemText {
    std::uint32_t code;
    const char* text;
};
constexpr SystemText kSystemTexts[] = {
    {0x00000000u, "The operation completed successfully.\r\n"},
    {0x80004001u, "Not implemented\r\n"},
    {0x80004002u, "No such interface supported\r\n"},
    {0x80004003u, "Invalid pointer\r\n"},
    {0x80004004u, "Operation aborted\r\n"},
    {0x80004005u, "Unspecified error\r\n"},
    {0x8000FFFFu, "Catastrophic failure\r\n"},
    {0x80070002u, "The system cannot find the file specified.\r\n"},
    {0x80070003u, "The system cannot find the path specified.\r\n"},
    {0x80070005u, "Access is denied.\r\n"},
    {0x80070006u, "The handle is invalid.\r\n"},
    {0x8007000Eu, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057u, "The parameter is incorrect.\r\n"},
    {0x80040110u, "Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040111u, "ClassFactory cannot supply requested class\r\n"},
    {0x80040154u, "Class not registered\r\n"},
    {0x800401F3u, "Invalid class string\r\n"},
    {0x800401F8u, "DLL for class not found\r\n"},
    {0x800401F9u, "Error in the DLL\r\n"},
    {0x80020003u, "Member not found.\r\n"},
    {0x80020005u, "Type mismatch.\r\n"},
    {0x80020006u, "Unknown name.\r\n"},
    {0x8002000Au, "Out of present range.\r\n"},
    {0x8002000Bu, "Invalid index.\r\n"},
    {0x8002000Eu, "Invalid number of parameters.\r\n"},
    {0x80040200u, "No connection for this connection ID\r\n"},
    {0x80040201u, "Limit reached for connections\r\n"},
    {0x80040202u, "Cannot connect: the sink does not support the interface\r\n"},
};
}  // namespace

std::u16string SystemMessageText(HRESULT hr) {
    const auto code = static_cast<std::uint32_t>(hr);
    for (const auto& entry : kSystemTexts)
        if (entry.code == code) return Utf8ToUtf16(entry.text);
    return {};
}
