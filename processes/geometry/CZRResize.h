// Resize: rescales every page to a fixed size in pixels, by a percentage, or
// to a new resolution keeping the physical size, with one of three qualities.
// The image library does the rescale (O(new pixels)); this class reads the
// settings and refuses invalid ones with their messages. Not zone-capable.
#pragma once

#include "framework/ProcessClass.h"
#include "resources/Identifiers.h"

class CZRResize : public ProcessClass<CZRResize, CLSID_ZRResize, ProcessExImpl<CLSID_ZRResize>> {
public:
    static constexpr const char* kClassName = "CZRResize";
    static constexpr long kProcessType = PROCESS_TYPE_GEOMETRY;
    static std::span<const PropertyDecl> Properties();

    HRESULT Process(IZRPage* page, VARIANT_BOOL* result) override;
};
