// Type library and application identifiers of the process module, and the
// class identifiers of catalogue entries that have no class yet (a class's
// own CLSID lives in its header, beside its descriptor).
#pragma once

#include "platform/com/ComTypes.h"

inline constexpr CLSID CLSID_ZRPhotoCorrection = MakeGuid("{65DB30CF-A70C-42D2-905F-D7512F5B7020}");

inline constexpr GUID LIBID_ZRLeafmendLib = MakeGuid("{3A34C312-783A-43C5-99E7-F65790E62BFB}");
inline constexpr GUID APPID_ZRLeafmendClient91 = MakeGuid("{D57F4EC6-B39D-4E8F-998D-29247B705E97}");

// Process type codes.
constexpr long PROCESS_TYPE_GEOMETRY = 702;
constexpr long PROCESS_TYPE_DEFAULT = 798;
