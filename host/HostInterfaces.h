// Interfaces of the host objects that processes call: page, image, page
// container, page part files, status messages and their list, property bag,
// page range, zone manager and zone. Declaration order is slot order (0-2
// IUnknown, 3-6 IDispatch); slots that processes never call hold the host's
// own operations.
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_IZRPage = MakeGuid("{AE64860A-C9EE-44B4-A400-E4FD30E5F077}");
constexpr IID IID_IZRImage = MakeGuid("{F7237A92-0CFA-45D4-BFF6-F767927993EE}");
constexpr IID IID_ZRPropertyBag = MakeGuid("{93AAE326-8DC7-4968-9FE1-62A882E5A3B4}");
constexpr IID IID_ZRPageRange = MakeGuid("{BBEE7930-AB0C-41F0-B5F7-1574E4BBB07F}");
constexpr IID IID_ZRZoneManager = MakeGuid("{1BA6DF0E-3957-4029-B7CC-395021671687}");
constexpr IID IID_ZRStatusMessage = MakeGuid("{835C8650-07F5-4FCB-A1C9-601DA48CD98F}");
constexpr IID IID_IZRZone = MakeGuid("{7A1D2C40-5B8E-4F61-9C3A-2E4B6D8F0A11}");
constexpr IID IID_IZRStatusMessages = MakeGuid("{7A1D2C41-5B8E-4F61-9C3A-2E4B6D8F0A11}");
constexpr IID IID_IZRPageContainer = MakeGuid("{7A1D2C42-5B8E-4F61-9C3A-2E4B6D8F0A11}");
constexpr IID IID_IZRPagePartA = MakeGuid("{FBC7EB72-5EFF-44B3-B746-4326BB2989B4}");
constexpr IID IID_IZRPagePartB = MakeGuid("{4BF1AFE2-4EBF-42A4-93AA-22D8B28937A0}");
constexpr IID IID_IZRPagePartC = MakeGuid("{E3D2DBB8-DB85-47C9-9FAB-0B609C081AB1}");

constexpr const char* kPropertyBagProgId = "ZRObjectsClient91.ZRPropertyBag.1";
constexpr const char* kPageRangeProgId = "ZRObjectsClient91.ZRPageRange.1";
constexpr const char* kZoneManagerProgId = "ZRObjectsClient91.ZRZoneManager.1";
constexpr const char* kStatusMessageProgId = "ZRObjectsClient91.ZRStatusMessage.1";

// Zone units: 4 = pixels of a bitmap with the given resolutions.
constexpr LONG ZONE_UNITS_PIXELS = 4;
// Status message types.
constexpr LONG STATUS_MESSAGE_REFUSED = 2;
constexpr LONG STATUS_MESSAGE_PAGE_REMOVED = 3;

struct IZRImage;
struct IZRPageContainer;
struct IZRStatusMessages;
struct IZRPagePartA;
struct IZRPagePartB;
struct IZRPagePartC;
struct ZRStatusMessage;
struct IZRZone;

struct ZRPropertyBag : IDispatch {
    static constexpr const IID& iid() { return IID_ZRPropertyBag; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;       // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;       // 8
    virtual HRESULT GetCount(LONG* count) = 0;                      // 9
    virtual HRESULT GetProperty(BSTR name, VARIANT* value) = 0;     // 10
    virtual HRESULT PutProperty(BSTR name, VARIANT value) = 0;      // 11
    virtual HRESULT GetPropertyNames(VARIANT* names) = 0;           // 12
    virtual HRESULT RemoveProperty(BSTR name) = 0;                  // 13
    virtual HRESULT HasProperty(BSTR name, VARIANT_BOOL* has) = 0;  // 14
    virtual HRESULT AddProperty(BSTR name, VARIANT value) = 0;      // 15

protected:
    ~ZRPropertyBag() = default;
};

struct ZRPageRange : IDispatch {
    static constexpr const IID& iid() { return IID_ZRPageRange; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;          // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;          // 8
    virtual HRESULT IsValidRange(BSTR text, VARIANT_BOOL* valid) = 0;  // 9
    virtual HRESULT GetRange(BSTR* text) = 0;                          // 10
    virtual HRESULT SetRange(BSTR text) = 0;                           // 11
    virtual HRESULT IsInRange(LONG page, VARIANT_BOOL* inRange) = 0;   // 12

protected:
    ~ZRPageRange() = default;
};

struct IZRZone : IDispatch {
    static constexpr const IID& iid() { return IID_IZRZone; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;  // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;  // 8
    virtual HRESULT GetUnits(LONG* units) = 0;                 // 9
    virtual HRESULT GetLeft(LONG* value) = 0;                  // 10
    virtual HRESULT SetLeft(LONG value) = 0;                   // 11
    virtual HRESULT GetTop(LONG* value) = 0;                   // 12
    virtual HRESULT SetTop(LONG value) = 0;                    // 13
    virtual HRESULT GetWidth(LONG* value) = 0;                 // 14
    virtual HRESULT SetWidth(LONG value) = 0;                  // 15
    virtual HRESULT GetHeight(LONG* value) = 0;                // 16
    virtual HRESULT SetHeight(LONG value) = 0;                 // 17
    virtual HRESULT GetName(BSTR* name) = 0;                   // 18
    virtual HRESULT SetName(BSTR name) = 0;                    // 19
    virtual HRESULT GetXResolution(LONG* dpi) = 0;             // 20
    virtual HRESULT GetYResolution(LONG* dpi) = 0;             // 21
    // Defines the rectangle in the given units (host side).
    virtual HRESULT SetRect(LONG units, LONG left, LONG top, LONG width, LONG height) = 0;  // 22
    virtual HRESULT SetUnits(LONG units, LONG xResolution, LONG yResolution) = 0;           // 23

protected:
    ~IZRZone() = default;
};

struct ZRZoneManager : IDispatch {
    static constexpr const IID& iid() { return IID_ZRZoneManager; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;    // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;    // 8
    virtual HRESULT AddZone(IZRZone* zone) = 0;                  // 9
    virtual HRESULT CreateZone(IZRZone** zone) = 0;              // 10
    virtual HRESULT RemoveZone(LONG index) = 0;                  // 11
    virtual HRESULT RemoveAll() = 0;                             // 12
    virtual HRESULT GetZone(VARIANT index, IZRZone** zone) = 0;  // 13
    virtual HRESULT GetCount(LONG* count) = 0;                   // 14

protected:
    ~ZRZoneManager() = default;
};

struct ZRStatusMessage : IDispatch {
    static constexpr const IID& iid() { return IID_ZRStatusMessage; }
    virtual HRESULT LoadProperties(IZRXMLMarkup* markup) = 0;  // 7
    virtual HRESULT SaveProperties(IZRXMLMarkup* markup) = 0;  // 8
    virtual HRESULT GetProcessName(BSTR* name) = 0;            // 9
    virtual HRESULT SetProcessName(BSTR name) = 0;             // 10
    virtual HRESULT GetMessageType(LONG* type) = 0;            // 11
    virtual HRESULT SetMessageType(LONG type) = 0;             // 12
    virtual HRESULT GetText(BSTR* text) = 0;                   // 13
    virtual HRESULT SetText(BSTR text) = 0;                    // 14

protected:
    ~ZRStatusMessage() = default;
};

struct IZRStatusMessages : IDispatch {
    static constexpr const IID& iid() { return IID_IZRStatusMessages; }
    virtual HRESULT GetCount(LONG* count) = 0;                           // 7
    virtual HRESULT GetItem(LONG index, ZRStatusMessage** message) = 0;  // 8
    virtual HRESULT Clear() = 0;                                         // 9
    virtual HRESULT Add(ZRStatusMessage* message) = 0;                   // 10

protected:
    ~IZRStatusMessages() = default;
};

struct IZRImage : IDispatch {
    static constexpr const IID& iid() { return IID_IZRImage; }
    virtual HRESULT GetWidth(LONG* width) = 0;               // 7
    virtual HRESULT GetHeight(LONG* height) = 0;             // 8
    virtual HRESULT GetBitDepth(LONG* bits) = 0;             // 9
    virtual HRESULT GetHandle(int* handle) = 0;              // 10
    virtual HRESULT SetHandle(int handle) = 0;               // 11
    virtual HRESULT SetImageType(LONG type) = 0;             // 12
    virtual HRESULT GetImageType(LONG* type) = 0;            // 13
    virtual HRESULT GetFilePath(BSTR* path) = 0;             // 14
    virtual HRESULT SetFilePath(BSTR path) = 0;              // 15
    virtual HRESULT GetXResolution(LONG* dpi) = 0;           // 16
    virtual HRESULT GetYResolution(LONG* dpi) = 0;           // 17
    virtual HRESULT IsModified(VARIANT_BOOL* modified) = 0;  // 18
    virtual HRESULT SetModified(VARIANT_BOOL modified) = 0;  // 19
    virtual HRESULT Refresh() = 0;                           // 20

protected:
    ~IZRImage() = default;
};

// A page's companion files (e.g. recognised text, thumbnails); the page
// exposes three of them, each with its own path getter slot.
struct IZRPagePartA : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartA; }
    virtual HRESULT GetKind(BSTR* kind) = 0;           // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;        // 8
    virtual HRESULT GetSize(LONG* bytes) = 0;          // 9
    virtual HRESULT Exists(VARIANT_BOOL* exists) = 0;  // 10
    virtual HRESULT Reserved11() = 0;                  // 11
    virtual HRESULT GetFilePath(BSTR* path) = 0;       // 12

protected:
    ~IZRPagePartA() = default;
};

struct IZRPagePartB : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartB; }
    virtual HRESULT GetKind(BSTR* kind) = 0;           // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;        // 8
    virtual HRESULT GetSize(LONG* bytes) = 0;          // 9
    virtual HRESULT Exists(VARIANT_BOOL* exists) = 0;  // 10
    virtual HRESULT GetFilePath(BSTR* path) = 0;       // 11

protected:
    ~IZRPagePartB() = default;
};

struct IZRPagePartC : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPagePartC; }
    virtual HRESULT GetFilePath(BSTR* path) = 0;  // 7
    virtual HRESULT SetFilePath(BSTR path) = 0;   // 8
    virtual HRESULT GetKind(BSTR* kind) = 0;      // 9

protected:
    ~IZRPagePartC() = default;
};

struct IZRPage : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPage; }
    virtual HRESULT GetFileName(BSTR* name) = 0;                      // 7
    virtual HRESULT GetPageIndex(LONG* index) = 0;                    // 8
    virtual HRESULT IsRemoved(VARIANT_BOOL* removed) = 0;             // 9
    virtual HRESULT SetImage(IZRImage* image) = 0;                    // 10
    virtual HRESULT GetContainer(IZRPageContainer** container) = 0;   // 11
    virtual HRESULT SetPageNumber(LONG number) = 0;                   // 12
    virtual HRESULT GetName(BSTR* name) = 0;                          // 13
    virtual HRESULT SetName(BSTR name) = 0;                           // 14
    virtual HRESULT GetImage(IZRImage** image) = 0;                   // 15
    virtual HRESULT HasImage(VARIANT_BOOL* has) = 0;                  // 16
    virtual HRESULT GetTextPart(IZRPagePartA** part) = 0;             // 17
    virtual HRESULT SetTextPart(IZRPagePartA* part) = 0;              // 18
    virtual HRESULT GetThumbnailPart(IZRPagePartB** part) = 0;        // 19
    virtual HRESULT SetThumbnailPart(IZRPagePartB* part) = 0;         // 20
    virtual HRESULT GetMetadataPart(IZRPagePartC** part) = 0;         // 21
    virtual HRESULT SetMetadataPart(IZRPagePartC* part) = 0;          // 22
    virtual HRESULT GetPageNumber(LONG* number) = 0;                  // 23
    virtual HRESULT GetStatusMessages(IZRStatusMessages** list) = 0;  // 24

protected:
    ~IZRPage() = default;
};

struct IZRPageContainer : IDispatch {
    static constexpr const IID& iid() { return IID_IZRPageContainer; }
    virtual HRESULT GetFilePath(BSTR* path) = 0;                            // 7
    virtual HRESULT GetPageCount(LONG* count) = 0;                          // 8
    virtual HRESULT GetPage(LONG number, IZRPage** page) = 0;               // 9
    virtual HRESULT GetToken(BSTR key, VARIANT* value) = 0;                 // 10
    virtual HRESULT SetToken(BSTR key, VARIANT value) = 0;                  // 11
    virtual HRESULT RemoveToken(BSTR key) = 0;                              // 12
    virtual HRESULT AddPage(IZRPage* page) = 0;                             // 13
    virtual HRESULT InsertPage(LONG number, IZRPage* page) = 0;             // 14
    virtual HRESULT MovePage(LONG from, LONG to) = 0;                       // 15
    virtual HRESULT GetName(BSTR* name) = 0;                                // 16
    virtual HRESULT SetName(BSTR name) = 0;                                 // 17
    virtual HRESULT IsModified(VARIANT_BOOL* modified) = 0;                 // 18
    virtual HRESULT SetModified(VARIANT_BOOL modified) = 0;                 // 19
    virtual HRESULT GetRemovedCount(LONG* count) = 0;                       // 20
    virtual HRESULT IsPageRemoved(LONG number, VARIANT_BOOL* removed) = 0;  // 21
    virtual HRESULT Reserved22() = 0;                                       // 22
    virtual HRESULT RemovePage(LONG number) = 0;                            // 23

protected:
    ~IZRPageContainer() = default;
};
