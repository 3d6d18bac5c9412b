// CZRXMLMarkup: the markup object the framework and the host objects use to
// write and read XML. Writing grows a pugixml document element by element under
// a current position; reading walks a loaded document like a pull reader with
// start and end states. Each call costs O(1) plus the nodes it walks or the
// text it converts; loads and serialisation are linear in the document size.
#pragma once

#include "host/ProcessInterfaces.h"
#include "platform/com/ComObject.h"
#include "platform/com/DispatchImpl.h"

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>

class CZRXMLMarkup : public CComObjectRootEx, public DispatchImpl<IZRXMLMarkup> {
public:
    CZRXMLMarkup();
    CZRXMLMarkup(const CZRXMLMarkup&) = delete;
    CZRXMLMarkup& operator=(const CZRXMLMarkup&) = delete;

    void* QueryInterfaceMap(REFIID riid);

    // IZRXMLMarkup, in slot order.
    HRESULT GetXml(BSTR* xml) override;
    HRESULT LoadFile(BSTR path) override;
    HRESULT LoadXml(BSTR text) override;
    HRESULT NewDocument() override;
    HRESULT Clear() override;
    HRESULT SaveFile(BSTR path) override;
    HRESULT AddElement(BSTR name, BSTR text) override;
    HRESULT AddAttribute(BSTR name, BSTR value) override;
    HRESULT EndElement() override;
    HRESULT FindElement(BSTR name, VARIANT_BOOL* found) override;
    HRESULT GetAttribute(BSTR name, BSTR* value) override;
    HRESULT GetText(BSTR* text) override;
    HRESULT GetOuterXml(BSTR* xml) override;
    HRESULT AppendFile(BSTR path) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT SetTag(BSTR tag) override;
    HRESULT GetTag(BSTR* tag) override;
    HRESULT IsEmptyElement(VARIANT_BOOL* empty) override;
    HRESULT FindSibling(BSTR name, VARIANT_BOOL* found) override;
    HRESULT FindChild(BSTR name, VARIANT_BOOL* found) override;
    HRESULT MoveNext(VARIANT_BOOL* moved) override;
    HRESULT GetDepth(LONG* depth) override;
    HRESULT IsStartElement(VARIANT_BOOL* start) override;

protected:
    virtual ~CZRXMLMarkup();

    // Sink of the debug traces; OutputDebugStringW unless overridden.
    virtual void Trace(const OLECHAR* text);

private:
    // Runs an operation body, turning escaping exceptions into HRESULTs.
    template <class Body>
    HRESULT Guarded(Body&& body);

    void ClearState();
    void NewDocumentState();
    // Clear, then parse a file (path) or a text into a new reader document.
    HRESULT LoadInto(bool fromFile, const std::string& source);
    // Moves to the reader document's first child once after Clear.
    void ApplyStartRule();
    // One step of the pull walk; true when a node was reached.
    bool Advance(bool stopAtEnds);
    // Writes "<label>: <name>, <at end>\n" to the trace sink.
    void TraceNode(const char* label, std::string_view name);

    std::unique_ptr<pugi::xml_document> writer_;
    std::unique_ptr<pugi::xml_document> reader_;
    pugi::xml_node current_;
    BSTR tag_ = nullptr;
    BYTE atEnd_ = 0;
    BYTE startPending_ = 0;
};

// Creates a markup object with one reference for the caller.
HRESULT CreateXMLMarkup(IZRXMLMarkup** out);
