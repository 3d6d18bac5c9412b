// The host zone manager: an ordered list of zones, saved as a "ZoneManager"
// element holding one "Zone" child per zone. O(n).
#pragma once

#include "host/CZRZone.h"
#include "host/interfaces/ZRZoneManager.h"

#include <vector>

class ZR_HOST_API CZRZoneManager : public HostObject<ZRZoneManager> {
public:
    HRESULT LoadProperties(IZRXMLMarkup* markup) override;
    HRESULT SaveProperties(IZRXMLMarkup* markup) override;
    HRESULT AddZone(IZRZone* zone) override;
    HRESULT CreateZone(IZRZone** zone) override;
    HRESULT RemoveZone(LONG index) override;
    HRESULT RemoveAll() override;
    HRESULT GetZone(VARIANT index, IZRZone** zone) override;
    HRESULT GetCount(LONG* count) override;

private:
    std::vector<CComPtr<IZRZone>> zones_;
};
