// Interfaces a process module and its host share: IZRProcessEx (the process),
// IZRProcessExEvents (its progress events) and IZRXMLMarkup (the XML reader
// and writer both sides use for persistence). Declaration order is slot order.
#pragma once

#include "platform/com/Unknown.h"

struct IZRPage;
struct IZRXMLMarkup;
struct ZRPageRange;
struct ZRZoneManager;

constexpr IID IID_IZRProcessEx = MakeGuid("{5F93EACA-A983-45C9-A7C5-B7533F04B554}");
constexpr IID IID_IZRProcessExEvents = MakeGuid("{B0718421-D18A-425F-B10C-163E04F6561A}");
constexpr IID IID_IZRXMLMarkup = MakeGuid("{BCA963D4-0CFE-49AE-B080-26AE84055E33}");

// Event DISPIDs of IZRProcessExEvents.
constexpr DISPID DISPID_PROCESS_STARTED = 301;
constexpr DISPID DISPID_PROCESS_FINISHED = 302;
constexpr DISPID DISPID_PROCESS_PROGRESS = 303;

struct IZRProcessEx : IDispatch {
    static constexpr const IID& iid() { return IID_IZRProcessEx; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;          // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;          // 8
    virtual HRESULT get_XML(BSTR* xml) = 0;                            // 9
    virtual HRESULT get_Properties(BSTR name, VARIANT* value) = 0;     // 10
    virtual HRESULT put_Properties(BSTR name, VARIANT value) = 0;      // 11
    virtual HRESULT GetPropertyNames(VARIANT* names) = 0;              // 12
    virtual HRESULT get_Name(BSTR* name) = 0;                          // 13
    virtual HRESULT put_Name(BSTR name) = 0;                           // 14
    virtual HRESULT put_Mode(LONG mode) = 0;                           // 15
    virtual HRESULT get_Mode(LONG* mode) = 0;                          // 16
    virtual HRESULT GetZoneManager(ZRZoneManager** manager) = 0;       // 17
    virtual HRESULT Process(IZRPage* page, VARIANT_BOOL* result) = 0;  // 18
    virtual HRESULT put_ProcessType(LONG type) = 0;                    // 19
    virtual HRESULT get_ProcessType(LONG* type) = 0;                   // 20
    virtual HRESULT GetPageRange(ZRPageRange** range) = 0;             // 21

protected:
    ~IZRProcessEx() = default;
};

// A pure dispatch interface: sinks implement IDispatch and answer
// QueryInterface for IID_IZRProcessExEvents.
struct IZRProcessExEvents : IDispatch {
    static constexpr const IID& iid() { return IID_IZRProcessExEvents; }

protected:
    ~IZRProcessExEvents() = default;
};

struct IZRXMLMarkup : IDispatch {
    static constexpr const IID& iid() { return IID_IZRXMLMarkup; }
    virtual HRESULT GetXml(BSTR* xml) = 0;                            // 7
    virtual HRESULT LoadFile(BSTR path) = 0;                          // 8
    virtual HRESULT LoadXml(BSTR text) = 0;                           // 9
    virtual HRESULT NewDocument() = 0;                                // 10
    virtual HRESULT Clear() = 0;                                      // 11
    virtual HRESULT SaveFile(BSTR path) = 0;                          // 12
    virtual HRESULT AddElement(BSTR name, BSTR text) = 0;             // 13
    virtual HRESULT AddAttribute(BSTR name, BSTR value) = 0;          // 14
    virtual HRESULT EndElement() = 0;                                 // 15
    virtual HRESULT FindElement(BSTR name, VARIANT_BOOL* found) = 0;  // 16
    virtual HRESULT GetAttribute(BSTR name, BSTR* value) = 0;         // 17
    virtual HRESULT GetText(BSTR* text) = 0;                          // 18
    virtual HRESULT GetOuterXml(BSTR* xml) = 0;                       // 19
    virtual HRESULT AppendFile(BSTR path) = 0;                        // 20
    virtual HRESULT GetName(BSTR* name) = 0;                          // 21
    virtual HRESULT SetTag(BSTR tag) = 0;                             // 22
    virtual HRESULT GetTag(BSTR* tag) = 0;                            // 23
    virtual HRESULT IsEmptyElement(VARIANT_BOOL* empty) = 0;          // 24
    virtual HRESULT FindSibling(BSTR name, VARIANT_BOOL* found) = 0;  // 25
    virtual HRESULT FindChild(BSTR name, VARIANT_BOOL* found) = 0;    // 26
    virtual HRESULT MoveNext(VARIANT_BOOL* moved) = 0;                // 27
    virtual HRESULT GetDepth(LONG* depth) = 0;                        // 28
    virtual HRESULT IsStartElement(VARIANT_BOOL* start) = 0;          // 29

protected:
    ~IZRXMLMarkup() = default;
};
