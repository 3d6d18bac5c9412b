// Exception types of the C++ COM helpers: _com_error (an HRESULT with optional
// error information) and CAtlException (a bare HRESULT). O(1).
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"

class ZR_COM_API _com_error {
public:
    explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr, bool addRef = false);
    _com_error(const _com_error& other);
    _com_error& operator=(const _com_error& other);
    virtual ~_com_error();

    HRESULT Error() const { return hr_; }
    // The description of the attached error information ("" when none).
    std::u16string Description() const;
    // The system's text for the code, or the "IDispatch error #%d" /
    // "Unknown error 0x%0lX" forms when the system has none.
    std::u16string ErrorMessage() const;
    IErrorInfo* ErrorInfo() const;  // AddRef'd, may be null

private:
    HRESULT hr_;
    IErrorInfo* info_;
};

// Throws _com_error(hr) carrying this thread's error information.
[[noreturn]] ZR_COM_API void _com_issue_errorex(HRESULT hr, IUnknown* object, REFIID riid);

class ZR_COM_API CAtlException {
public:
    explicit CAtlException(HRESULT hr = E_FAIL) : hr_(hr) {}
    virtual ~CAtlException();
    operator HRESULT() const { return hr_; }  // NOLINT(google-explicit-constructor)
    HRESULT m_hr() const { return hr_; }

private:
    HRESULT hr_;
};

[[noreturn]] inline void AtlThrow(HRESULT hr) { throw CAtlException(hr); }
