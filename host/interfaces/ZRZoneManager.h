// The zone manager: a process's ordered list of zones. Declaration order is slot order
// (0-2 IUnknown, 3-6 IDispatch).
#pragma once

#include "host/ProcessInterfaces.h"

constexpr IID IID_ZRZoneManager = MakeGuid("{1BA6DF0E-3957-4029-B7CC-395021671687}");

constexpr const char* kZoneManagerProgId = "ZRObjectsClient91.ZRZoneManager.1";

struct IZRZone;

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
