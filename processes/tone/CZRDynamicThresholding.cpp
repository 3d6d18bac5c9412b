// Dynamic thresholding: the page's depth, the zone, the method the properties
// choose, and the new bitmap handed to the page.
#include "processes/tone/CZRDynamicThresholding.h"

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "framework/StatusMessage.h"
#include "framework/ZoneAccess.h"
#include "image/PixelImage.h"
#include "processes/tone/ThresholdEngine.h"
#include "resources/MessageIds.h"

#include <algorithm>
#include <climits>

namespace {
constexpr Property<VT_I2> kEdgeDetect{"EDGEDETECT", 0,
                                      "nonzero: run the diagonal edge filter before the global threshold"};
constexpr Property<VT_I2> kLocalThreshold{
    "LOCALTHRESH", 0, "nonzero: decide black and white box by box from the local contrast (wins over EDGEDETECT)"};
constexpr Property<VT_I4> kLocalContrast{
    "LOCALTHRESHCONTRAST", 20, "minimum contrast in percent for a box to get its own threshold (local method)"};
constexpr Property<VT_I4> kLocalBoxSize{"LOCALTHRESHBOXSIZE", -1,
                                        "box edge in pixels for the local method, raised to even; 0 or less: 16"};
constexpr Property<VT_I4> kContrastShift{"CONTRASTSHIFT", 100,
                                         "threshold shift plus 100: above 100 more pixels turn black, below 100 fewer"};
constexpr PropertyDecl kProperties[] = {kEdgeDetect, kLocalThreshold, kLocalContrast, kLocalBoxSize, kContrastShift};

constexpr LONG kImageTypeBlackAndWhite = 2;

// Values far beyond any threshold decide the same as their clamp: keeps the
// arithmetic inside int.
int ClampShift(long long shift) { return static_cast<int>(std::clamp<long long>(shift, -1000000, 1000000)); }

int ClampCoordinate(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }
}  // namespace

constinit const ClassDescriptor CZRDynamicThresholding::kDescriptor{"DynamicThresholding",
                                                                    "CZRDynamicThresholding",
                                                                    &CLSID_ZRDynamicThresholding,
                                                                    111,
                                                                    0,
                                                                    false,
                                                                    PROCESS_TYPE_DEFAULT,
                                                                    kProperties,
                                                                    &MakeClassFactory<CZRDynamicThresholding>};

HRESULT CZRDynamicThresholding::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(
        page, result,
        [&] {
            // A page without an image object is a caller's error here.
            CComPtr<IZRImage> image;
            ThrowIfFailed(page->GetImage(&image));
            if (!image) throw CZRException(E_POINTER);
            return true;
        },
        [&](IZRImage* image, int handle) {
            try {
                threshold(page, image, handle);
            } catch (...) {
                *result = VARIANT_FALSE;
                throw;
            }
            return S_OK;
        });
}

void CZRDynamicThresholding::threshold(IZRPage* page, IZRImage* image, int handle) {
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    if (!dib) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
    if (dib->biBitCount == 1) {
        if ((Mode() & 8) != 0) {
            CComBSTR name;
            get_Name(&name);
            // Unlike page removal, a page without a message list is an error here.
            if (!PostStatusMessage(page, name, kStatusRefused, static_cast<UINT>(IDS_BW_NOT_VALID)))
                throw CZRException(E_POINTER);
        }
        return;
    }
    // The pixel accessors know 8 and 24 bits only; say so before any work.
    if (dib->biBitCount != 8 && dib->biBitCount != 24) throw QNCException("getPixel(): Invalid function", 0);

    const int shift = ClampShift(static_cast<long long>(Read(kContrastShift)) - 100);
    const bool edge = Read(kEdgeDetect) != 0;
    const bool local = Read(kLocalThreshold) != 0;
    const LONG box = Read(kLocalBoxSize);
    const LONG contrast = Read(kLocalContrast);
    PixelImage source(dib);

    // Only zone 0 counts, in pixels of the page; a zone of four zeros is no zone.
    ToneRect rect{0, source.width(), 0, source.height()};
    bool zoneRun = false;
    HRESULT countStatus = S_OK;
    if (ZoneManager() && ZoneCount(ZoneManager(), &countStatus) >= 1) {
        ZoneRect zone;
        if (ReadZone(ZoneManager(), 0, dib->biXPelsPerMeter, dib->biYPelsPerMeter, &zone) &&
            (zone.left != 0 || zone.top != 0 || zone.width != 0 || zone.height != 0)) {
            rect = {ClampCoordinate(zone.left), ClampCoordinate(static_cast<long long>(zone.left) + zone.width),
                    ClampCoordinate(zone.top), ClampCoordinate(static_cast<long long>(zone.top) + zone.height)};
            zoneRun = true;
        }
    }
    ThrowIfFailed(countStatus);

    LONG previousType = 0;
    if (zoneRun) ThrowIfFailed(image->GetImageType(&previousType));
    // A whole-page destination starts white, so the rows and columns no method
    // writes (the last row and column) come out white rather than black.
    PixelImage destination = zoneRun ? PixelImage(source) : PixelImage(source.width(), source.height(), 1, true);
    destination.header()->biXPelsPerMeter = dib->biXPelsPerMeter;
    destination.header()->biYPelsPerMeter = dib->biYPelsPerMeter;

    if (local) {
        ThresholdEngine::applyLocalThreshold(source, destination, rect, static_cast<int>(contrast),
                                             static_cast<int>(box), shift);
    } else if (edge) {
        if (zoneRun) {
            ThresholdEngine::applyEdgeFilter(source, destination, rect);
            PixelImage intermediate(destination);
            ThresholdEngine::applyGlobalThreshold(intermediate, destination, rect, shift);
        } else {
            // The filter leaves the page's outer frame unwritten: white there too.
            PixelImage intermediate(source.width(), source.height(), 8, true);
            intermediate.header()->biXPelsPerMeter = dib->biXPelsPerMeter;
            intermediate.header()->biYPelsPerMeter = dib->biYPelsPerMeter;
            ThresholdEngine::applyEdgeFilter(source, intermediate, rect);
            ThresholdEngine::applyGlobalThreshold(intermediate, destination, rect, shift);
        }
    } else {
        ThresholdEngine::applyGlobalThreshold(source, destination, rect, shift);
    }

    // The image takes the destination's bitmap; the page's old bitmap is the
    // image's to release.
    const int newHandle = destination.releaseHandle();
    const HRESULT set = image->SetHandle(newHandle);
    if (FAILED(set)) {
        ImageWrapper::delete_bitmap(newHandle);
        throw CZRException(set);
    }
    ThrowIfFailed(image->SetImageType(zoneRun ? previousType : kImageTypeBlackAndWhite));
}
