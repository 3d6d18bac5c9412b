// Thread error information: the last error description a COM call left on
// this thread (CreateErrorInfo / SetErrorInfo / GetErrorInfo). O(1).
#pragma once

#include "platform/com/ComApi.h"
#include "platform/com/Unknown.h"

ZR_COM_API HRESULT CreateErrorInfo(ICreateErrorInfo** out);
// Replaces this thread's error information (null clears it).
ZR_COM_API HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info);
// Takes this thread's error information: S_FALSE and null when there is none.
// As on Windows, the information is cleared by taking it.
ZR_COM_API HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out);
// Test-only inspection without taking: the description, or "" when none.
ZR_COM_API std::string PeekErrorDescription();
