// Type library and application identifiers of the process module, and the
// class identifiers of catalogue entries that have no class yet (a class's
// own CLSID lives in its header, beside its descriptor).
#pragma once

#include "platform/com/ComTypes.h"

inline constexpr CLSID CLSID_ZRCrop = MakeGuid("{6D8705DB-4A78-4FCE-BA4F-8CA6B0E9C0C7}");
inline constexpr CLSID CLSID_ZRSmooth = MakeGuid("{382BF545-D8CD-4636-9776-52C850EB13E4}");
inline constexpr CLSID CLSID_ZRLineRemoval = MakeGuid("{D9E257DC-1E8A-4EA8-9E25-CFA9C424C1BF}");
inline constexpr CLSID CLSID_ZRDynamicThresholding = MakeGuid("{DC652630-04B7-4904-AF9C-F168E6C00C78}");
inline constexpr CLSID CLSID_ZRColorSmoothing = MakeGuid("{E5FE457A-35C5-45CF-8553-048EB8E7C8EA}");
inline constexpr CLSID CLSID_ZRPhotoCorrection = MakeGuid("{65DB30CF-A70C-42D2-905F-D7512F5B7020}");
inline constexpr CLSID CLSID_ZRDeshade = MakeGuid("{40126F55-AB66-4CC7-90BF-00C7CD2A1EC2}");

inline constexpr GUID LIBID_ZRLeafmendLib = MakeGuid("{3A34C312-783A-43C5-99E7-F65790E62BFB}");
inline constexpr GUID APPID_ZRLeafmendClient91 = MakeGuid("{D57F4EC6-B39D-4E8F-998D-29247B705E97}");

// Process type codes.
constexpr long PROCESS_TYPE_GEOMETRY = 702;
constexpr long PROCESS_TYPE_DEFAULT = 798;
