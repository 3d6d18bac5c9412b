// The host objects' own failure codes. They are interface codes (FACILITY_ITF)
// so that a caller that turns a failed call into an exception keeps the
// description the host object left as error information.
#pragma once

#include "platform/com/ComTypes.h"

inline constexpr HRESULT ZR_E_PROPERTY_VALUE = MakeHr(0x80040301u);    // value does not fit the property's type
inline constexpr HRESULT ZR_E_PROPERTY_TYPE = MakeHr(0x80040302u);     // unknown VARIANT type name in saved XML
inline constexpr HRESULT ZR_E_UNKNOWN_PROPERTY = MakeHr(0x80040303u);  // no property of that name
inline constexpr HRESULT ZR_E_PAGE_RANGE = MakeHr(0x80040304u);        // page range text not understood
inline constexpr HRESULT ZR_E_ZONE = MakeHr(0x80040305u);              // zone values not understood
