// CZRException construction rules. O(message length).
#include "framework/CZRException.h"

#include "framework/Messages.h"
#include "platform/com/ErrorInfo.h"
#include "platform/win32/FormatMessage.h"

CZRException::CZRException(UINT messageId) : hr_(FromMessageId(messageId)), message_(LoadMessage(messageId)) {}

CZRException::CZRException(HRESULT hr) : hr_(hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_ITF) {
        CComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, &info) == S_OK && info) {
            CComBSTR text;
            info->GetDescription(&text);
            message_ = std::u16string(text.view());
            // Taking the information cleared it; put it back for other readers.
            SetErrorInfo(0, info);
            return;
        }
    }
    message_ = SystemMessageText(hr);
}

CZRException::CZRException(HRESULT hr, std::u16string message) : hr_(hr), message_(std::move(message)) {}

CZRException::CZRException(const _com_error& error) : hr_(error.Error()) {
    if (HRESULT_FACILITY(hr_) == FACILITY_ITF) {
        message_ = error.Description();
        return;
    }
    message_ = error.ErrorMessage();
    if (message_.empty()) message_ = error.Description();
}

CZRException::~CZRException() = default;

std::string CZRException::MessageUtf8() const { return Utf16ToUtf8(message_); }
