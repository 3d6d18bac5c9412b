// Despeckle: reads the properties, checks the depth, wraps the page's bitmap
// and hands it to the engine for its depth; progress 5 to 25 for the set-up,
// the engine's own reports mapped onto 25 to 100.
#include "processes/cleanup/CZRDespeckle.h"

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "image/PixelImage.h"
#include "processes/cleanup/QNCcolorDespeckle.h"
#include "resources/MessageIds.h"

#include <cstdlib>

namespace {
constexpr Property<VT_I4> kSize{"SIZE", 0,
                                "speck size in pixels: 1-bit, the longest side of a black group that is removed (0 "
                                "counts as 1, at most 500); grey and colour, the side of the square painted over"};
constexpr Property<VT_I2> kCharPreserve{
    "CHARPRESERVE", 0, "1-bit only: nonzero spares small groups within 6 pixels of a larger one (dots and accents)"};
constexpr Property<VT_I4> kSizeDpi{
    "SIZEDPI", 0,
    "0 = off; above 0: SIZE is meant at this many dots per inch and follows the page's x resolution (rounded, at "
    "least 1), and so do CHARPRESERVE's measures (2-pixel groups always go, 6-pixel reach, never below 6); a page "
    "without a resolution, or with a placeholder under 100 dpi that makes it over 17 inches, is taken as an A4 "
    "sheet (its shorter side over 8.27 inches)"};
constexpr PropertyDecl kProperties[] = {kSize, kCharPreserve, kSizeDpi};
}  // namespace

constinit const ClassDescriptor CZRDespeckle::kDescriptor{"Despeckle",
                                                          "CZRDespeckle",
                                                          &CLSID_ZRDespeckle,
                                                          109,
                                                          0,
                                                          false,
                                                          PROCESS_TYPE_DEFAULT,
                                                          kProperties,
                                                          &MakeClassFactory<CZRDespeckle>};

HRESULT CZRDespeckle::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage*, int handle) {
        const LONG size = Read(kSize);
        const SHORT preserve = Read(kCharPreserve);
        const LONG sizeDpi = Read(kSizeDpi);
        reportProgress(5);
        reportProgress(10);
        reportProgress(15);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        // An image without a bitmap has no depth to check.
        if (!dib) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
        const int bits = dib->biBitCount;
        if (bits != 1 && bits != 8 && bits != 24) throw CZRException(static_cast<UINT>(IDS_ONLY_BW));
        reportProgress(20);
        PixelImage pixels(dib);
        const long xResolution =
            SpeckleRemover::PageResolution(dib->biXPelsPerMeter, dib->biWidth, std::abs(dib->biHeight));
        reportProgress(25);
        ProgressRange engineRange(*this, 25, 100);
        if (bits != 1) {
            // A negative size paints nothing, as 0 does.
            const int side = size > 0 ? static_cast<int>(SpeckleRemover::ScaledToPage(std::min<LONG>(size, 65535),
                                                                                      sizeDpi, xResolution, 1, 65535))
                                      : 0;
            QNCcolorDespeckle engine(pixels, side + 2, side);
            engine.run();
            engine.writeBack();
        } else {
            remover_.setRule(SpeckleRemover::RuleFor(size, preserve != 0, sizeDpi, xResolution));
            remover_.setProgressOwner(this);
            remover_.run(&pixels);
        }
        return S_OK;
    });
}
