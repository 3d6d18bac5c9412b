// The host's markup object: IZRXMLMarkup over a MarkupDocument, for reading
// job files and saved processes and writing them. Behaves call for call as
// the markup object process modules use, so either can be handed to a
// process's or a host object's LoadProperties and SaveProperties. Each call
// is O(1) plus the nodes it walks or the text it converts.
#pragma once

#include "host/HostApi.h"
#include "host/ProcessInterfaces.h"
#include "platform/com/ComObject.h"
#include "platform/com/DispatchImpl.h"
#include "platform/markup/MarkupDocument.h"

class CZRHostMarkup : public CComObjectRootEx, public DispatchImpl<IZRXMLMarkup> {
public:
    CZRHostMarkup();
    CZRHostMarkup(const CZRHostMarkup&) = delete;
    CZRHostMarkup& operator=(const CZRHostMarkup&) = delete;

    void* QueryInterfaceMap(REFIID riid);

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
    virtual ~CZRHostMarkup();

private:
    MarkupDocument document_;
    BSTR tag_ = nullptr;  // any bytes, kept exactly
};
