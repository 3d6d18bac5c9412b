// Zone count and rectangles from the host's zone manager, in pixels of the
// page bitmap (units 4 with the bitmap's resolution). O(zones).
#include "framework/ZoneAccess.h"

#include "framework/CZRException.h"
#include "platform/com/ComPtr.h"

LONG ZoneCount(ZRZoneManager* zones, HRESULT* status) {
    if (!zones) throw CZRException(E_POINTER);
    LONG count = 0;
    *status = zones->GetCount(&count);
    if (FAILED(*status)) count = 0;
    return count;
}

bool ReadZone(ZRZoneManager* zones, LONG index, LONG xResolution, LONG yResolution, ZoneRect* rect) {
    CComVariant which(index);
    CComPtr<IZRZone> zone;
    if (FAILED(zones->GetZone(which, &zone)) || !zone) return false;
    ThrowIfFailed(zone->SetUnits(ZONE_UNITS_PIXELS, xResolution, yResolution));
    ThrowIfFailed(zone->GetLeft(&rect->left));
    ThrowIfFailed(zone->GetTop(&rect->top));
    ThrowIfFailed(zone->GetWidth(&rect->width));
    ThrowIfFailed(zone->GetHeight(&rect->height));
    return true;
}
