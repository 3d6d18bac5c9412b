// Shared by the resize, border padding and page removal tests: reading a
// property back, the error text of the last failure, a bitmap's header.
#pragma once

#include "tests/support/ProcessFixture.h"
#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"

#include <gtest/gtest.h>

#include <string>

inline CComVariant GetPropertyValue(IZRProcessEx* process, const char16_t* key) {
    CComBSTR name(key);
    CComVariant value;
    EXPECT_EQ(process->get_Properties(name, &value), S_OK);
    return value;
}

// The description of the thread's current error information ("" when none).
inline std::string LastErrorText() {
    CComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return "";
    CComBSTR text;
    info->GetDescription(&text);
    return text.utf8();
}

constexpr HRESULT MessageHr(UINT id) { return static_cast<HRESULT>(0x80040000u | id); }

inline BITMAPINFOHEADER InfoOf(int handle) {
    BITMAPINFOHEADER header{};
    ImageWrapper::bitmap_info(handle, &header);
    return header;
}
