// Resize: rescales every page to a fixed size in pixels, by a percentage, or
// to a new resolution keeping the physical size, with one of three qualities.
// The image library does the rescale (O(new pixels)); this class reads the
// settings and refuses invalid ones with their messages. Not zone-capable.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

inline constexpr CLSID CLSID_ZRResize = MakeGuid("{2DD682DA-F33C-4904-B0D2-86B34C85AC43}");

class CZRResize : public ProcessClass<CZRResize, ProcessExImpl<CLSID_ZRResize>> {
public:
    static const ClassDescriptor kDescriptor;

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
