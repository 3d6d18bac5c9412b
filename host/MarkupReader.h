// Small helpers the host objects use to write and read their XML children
// through IZRXMLMarkup. Every failing markup call raises its HRESULT as a
// HostError. O(1) per call.
#pragma once

#include "host/HostApi.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/ComPtr.h"

#include <stdexcept>
#include <string>
#include <vector>

struct HostError {
    HRESULT hr;
    std::string message;
};

// Sets the thread's error information (source = the host object) and answers hr.
ZR_HOST_API HRESULT ReportHostError(const HostError& error, REFIID iid);

class ZR_HOST_API MarkupWriter {
public:
    explicit MarkupWriter(IZRXMLMarkup* markup);
    void Begin(const char* element);
    void Attribute(const char* name, const std::string& value);
    void End();

private:
    IZRXMLMarkup* markup_;
};

// One start element met while walking the children of the current element.
struct MarkupElement {
    std::string name;
    LONG depth = 0;
};

class ZR_HOST_API MarkupReader {
public:
    explicit MarkupReader(IZRXMLMarkup* markup);
    std::string Name();
    std::string Attribute(const char* name);
    bool HasAttribute(const char* name);
    // Walks the descendants of the current element (which must be a start),
    // calling visit for every start element; leaves the reader on the end of
    // the element (or on it when it is empty), so the caller's walk goes on
    // with the next sibling.
    template <class Visit>
    void ForEachChild(Visit&& visit) {
        VARIANT_BOOL empty = VARIANT_TRUE;
        Check(markup_->IsEmptyElement(&empty));
        if (empty) return;
        LONG depth = Depth();
        for (;;) {
            VARIANT_BOOL moved = VARIANT_FALSE;
            Check(markup_->MoveNext(&moved));
            if (!moved) return;
            const LONG current = Depth();
            if (current <= depth) return;
            VARIANT_BOOL start = VARIANT_FALSE;
            Check(markup_->IsStartElement(&start));
            if (start) visit(MarkupElement{Name(), current});
        }
    }
    LONG Depth();

private:
    void Check(HRESULT hr);
    IZRXMLMarkup* markup_;
};
