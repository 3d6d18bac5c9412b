// Invert.
#include "processes/geometry/CZRInvert.h"

#include "framework/ZoneAccess.h"
#include "platform/imagelib/ImageWrapper.h"
#include "processes/geometry/CInvertImage.h"

namespace {
// Detaches the page's handle on every exit so the holder never deletes the page bitmap.
struct DetachOnExit {
    CInvertImage& holder;
    ~DetachOnExit() { holder.detach(); }
};
}  // namespace

HRESULT CZRInvert::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        HRESULT countStatus = S_OK;
        const LONG count = ZoneCount(ZoneManager(), &countStatus);
        pushRange(0, 100);
        if (count == 0) {
            ImageWrapper::invert_bitmap(handle);
        } else if (countStatus == S_OK) {
            CInvertImage holder;
            DetachOnExit guard{holder};
            holder.attach(handle, true);
            for (LONG i = 0; i < count; ++i) {
                ZoneRect zone;
                if (!ReadZone(ZoneManager(), i, holder.xResolution(), holder.yResolution(), &zone)) continue;
                holder.invertRect(zone.left, zone.top, zone.width, zone.height);
            }
        }
        return countStatus;
    });
}
