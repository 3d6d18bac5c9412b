// Colour smoothing: the zone, the tolerance, the average (progress 5 to 50)
// and the replacement (50 to 100).
#include "processes/tone/CZRColorSmoothing.h"

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "framework/ZoneAccess.h"
#include "image/PixelImage.h"
#include "processes/tone/ColorSmoother.h"
#include "resources/MessageIds.h"

namespace {
constexpr Property<VT_I4> kLeft{"LEFT", 0, "kept with the process; the sample area is the first zone"};
constexpr Property<VT_I4> kTop{"TOP", 0, "kept with the process; the sample area is the first zone"};
constexpr Property<VT_I4> kWidth{"WIDTH", 167, "kept with the process; the sample area is the first zone"};
constexpr Property<VT_I4> kHeight{"HEIGHT", 167, "kept with the process; the sample area is the first zone"};
constexpr Property<VT_I4> kTolerance{
    "TOLERANCE", 20, "percent of the channel range within which a colour is replaced by the zone's average"};
constexpr PropertyDecl kProperties[] = {kLeft, kTop, kWidth, kHeight, kTolerance};
}  // namespace

constinit const ClassDescriptor CZRColorSmoothing::kDescriptor{"ColorSmoothing",
                                                               "CZRColorSmoothing",
                                                               &CLSID_ZRColorSmoothing,
                                                               112,
                                                               0,
                                                               false,
                                                               PROCESS_TYPE_DEFAULT,
                                                               kProperties,
                                                               &MakeClassFactory<CZRColorSmoothing>};

HRESULT CZRColorSmoothing::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(
        page, result,
        [&] {
            // Without an image object there is nothing to smooth: the page stays, the answer is yes.
            CComPtr<IZRImage> image;
            ThrowIfFailed(page->GetImage(&image));
            reportProgress(5);
            return image != nullptr;
        },
        [&](IZRImage*, int handle) {
            BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
            if (!dib) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
            if (dib->biBitCount == 1) throw CZRException(static_cast<UINT>(IDS_UNSUPPORTED_COLOR));
            HRESULT countStatus = S_OK;
            const LONG count = ZoneManager() ? ZoneCount(ZoneManager(), &countStatus) : 0;
            ThrowIfFailed(countStatus);
            if (count < 1) return S_OK;
            ZoneRect zone;
            if (!ReadZone(ZoneManager(), 0, dib->biXPelsPerMeter, dib->biYPelsPerMeter, &zone)) return S_OK;
            const long long tolerance = ColorSmoother::toleranceFor(Read(kTolerance));
            PixelImage pixels(dib);
            ColorSmoother smoother(this);
            // The sample rectangle includes its right and bottom edges.
            pushRange(5, 50);
            const AverageColor average =
                smoother.averageZoneColor(pixels, zone.left, zone.top, static_cast<long long>(zone.left) + zone.width,
                                          static_cast<long long>(zone.top) + zone.height);
            replaceRange(50, 100);
            smoother.replaceNearColor(pixels, average, tolerance);
            // The last sub-range stays until the run ends.
            return S_OK;
        });
}
