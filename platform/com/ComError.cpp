// _com_error and CAtlException. O(1) apart from message formatting.
#include "platform/com/ComError.h"

#include "platform/com/ErrorInfo.h"
#include "platform/win32/FormatMessage.h"

#include <cstdio>

_com_error::_com_error(HRESULT hr, IErrorInfo* info, bool addRef) : hr_(hr), info_(info) {
    if (info_ && addRef) info_->AddRef();
}

_com_error::_com_error(const _com_error& other) : hr_(other.hr_), info_(other.info_) {
    if (info_) info_->AddRef();
}

_com_error& _com_error::operator=(const _com_error& other) {
    if (this != &other) {
        if (other.info_) other.info_->AddRef();
        if (info_) info_->Release();
        hr_ = other.hr_;
        info_ = other.info_;
    }
    return *this;
}

_com_error::~_com_error() {
    if (info_) info_->Release();
}

std::u16string _com_error::Description() const {
    if (!info_) return {};
    CComBSTR text;
    info_->GetDescription(&text);
    return std::u16string(text.view());
}

std::u16string _com_error::ErrorMessage() const {
    std::u16string text = SystemMessageText(hr_);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    if (!text.empty()) return text;
    char buf[64];
    const auto code = static_cast<std::uint32_t>(hr_);
    if (code >= 0x80040200u && code <= 0x8004FFFFu && (code & 0xFFFFu) != 0x200u)
        std::snprintf(buf, sizeof buf, "IDispatch error #%d", static_cast<int>((code - 0x200u) & 0xFFFFu));
    else
        std::snprintf(buf, sizeof buf, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
    return Utf8ToUtf16(buf);
}

IErrorInfo* _com_error::ErrorInfo() const {
    if (info_) info_->AddRef();
    return info_;
}

void _com_issue_errorex(HRESULT hr, IUnknown*, REFIID) {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
    throw _com_error(hr, info, false);
}

CAtlException::~CAtlException() = default;
