// Shared by the resize, border padding and page removal tests: creating a
// process, setting its properties, and the error text of the last failure.
#pragma once

#include "tests/support/TestHost.h"

#include "platform/com/ErrorInfo.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <string>

template <class Process>
CComPtr<CComObject<Process>> NewProcess() {
    Registry::Instance().SetVolatile(true);
    EnsureHostClasses();
    CComObject<Process>* object = nullptr;
    EXPECT_EQ(CComObject<Process>::CreateInstance(&object), S_OK);
    return CComPtr<CComObject<Process>>(object);
}

inline void SetProperty(IZRProcessEx* process, const char16_t* key, const CComVariant& value) {
    CComBSTR name(key);
    ASSERT_EQ(process->put_Properties(name, value), S_OK);
}

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
