// Invert: the whole page through the image library, or each zone through the
// pixel holder.
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

constinit const ClassDescriptor CZRInvert::kDescriptor{
    "Invert", "CZRInvert", &CLSID_ZRInvert, 105, 0, true, PROCESS_TYPE_GEOMETRY, {}, &MakeClassFactory<CZRInvert>};

HRESULT CZRInvert::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        HRESULT countStatus = S_OK;
        const LONG count = ZoneCount(ZoneManager(), &countStatus);
        ProgressRange whole(*this, 0, 100);
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
