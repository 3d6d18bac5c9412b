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

class ZR_HOST_API MarkupReader {
public:
    explicit MarkupReader(IZRXMLMarkup* markup);
    std::string Name();
    std::string Attribute(const char* name);
    bool HasAttribute(const char* name);
    // Calls visit() with the reader on each direct child element of the
    // current element named `name`, in document order; visit may read the
    // child's attributes and pass the reader to the child's own loader.
    // Afterwards the reader stands on the end of the current element (on its
    // start when it has no children), so the caller's next MoveNext reaches
    // whatever follows the element, never a node inside or after it.
    template <class Visit>
    void ForEachChild(const char* name, Visit&& visit) {
        if (IsEmpty()) return;
        CComBSTR wanted(name);
        VARIANT_BOOL found = VARIANT_FALSE;
        Check(markup_->FindChild(wanted, &found));  // none: the element's end
        while (found) {
            visit();
            // The next sibling of that name, or else the element's end.
            Check(markup_->FindSibling(wanted, &found));
        }
    }
    // Moves to the end of the current element, past all of its content.
    void SkipChildren();
    LONG Depth();

private:
    bool IsEmpty();
    void Check(HRESULT hr);
    IZRXMLMarkup* markup_;
};
