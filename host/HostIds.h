// Class identifiers of the host object library's creatable classes.
#pragma once

#include "platform/com/ComTypes.h"

inline constexpr CLSID CLSID_ZRPropertyBag = MakeGuid("{3C1B8E20-6A4D-4F0B-9E21-5D7C8A9B0C01}");
inline constexpr CLSID CLSID_ZRPageRange = MakeGuid("{3C1B8E20-6A4D-4F0B-9E21-5D7C8A9B0C02}");
inline constexpr CLSID CLSID_ZRZoneManager = MakeGuid("{3C1B8E20-6A4D-4F0B-9E21-5D7C8A9B0C03}");
inline constexpr CLSID CLSID_ZRStatusMessage = MakeGuid("{3C1B8E20-6A4D-4F0B-9E21-5D7C8A9B0C04}");
