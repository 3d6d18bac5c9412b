// Values the host objects keep (properties, document tokens) must own their
// data: a VT_BYREF argument points into the caller's memory, which is gone
// after the call. O(size of the value).
#pragma once

#include "platform/com/ComPtr.h"

// A copy of value that owns its data: VT_BSTR | VT_BYREF becomes a VT_BSTR
// copy; other by-reference values are refused with DISP_E_TYPEMISMATCH.
HRESULT CopyOwnedValue(const VARIANT& value, CComVariant* copy);
