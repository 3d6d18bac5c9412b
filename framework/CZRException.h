// The exception that carries a failure to an interface boundary: an HRESULT
// and a user-readable message loaded from the current resource module.
#pragma once

#include "platform/com/ComError.h"

#include <string>

class CZRException {
public:
    // Message id n: HRESULT 0x80040000 | n, message = string n (<= 512 chars).
    explicit CZRException(UINT messageId);
    // An HRESULT: for FACILITY_ITF codes the thread's error information
    // description when there is one, otherwise the system's text (or "").
    explicit CZRException(HRESULT hr);
    CZRException(HRESULT hr, std::u16string message);
    explicit CZRException(const _com_error& error);
    virtual ~CZRException();

    HRESULT Error() const { return hr_; }
    const std::u16string& Message() const { return message_; }
    void SetMessage(std::u16string message) { message_ = std::move(message); }
    std::string MessageUtf8() const;

    // 0x80040000 OR id.
    static constexpr HRESULT FromMessageId(UINT id) { return static_cast<HRESULT>(0x80040000u | id); }

private:
    HRESULT hr_;
    std::u16string message_;
};

// Raises a failed host or library call: negative HRESULTs become CZRException(hr).
inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw CZRException(hr);
}
