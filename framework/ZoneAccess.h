// Reading zone rectangles from a zone manager the way every zone-capable
// process does: GetCount, GetZone with a VT_I4 index, SetUnits(4, x dpi,
// y dpi) so the zone speaks in pixels of the page bitmap, then left, top,
// width and height. O(zones).
#pragma once

#include "host/HostInterfaces.h"

struct ZoneRect {
    LONG left = 0;
    LONG top = 0;
    LONG width = 0;
    LONG height = 0;
};

// The zone count; *status receives the call's HRESULT (the count stays 0 on failure).
LONG ZoneCount(ZRZoneManager* zones, HRESULT* status);

// Zone `index` in pixels of a bitmap with the given resolutions; false when
// the manager has no zone there. Failing zone calls raise CZRException(hr).
bool ReadZone(ZRZoneManager* zones, LONG index, LONG xResolution, LONG yResolution, ZoneRect* rect);
