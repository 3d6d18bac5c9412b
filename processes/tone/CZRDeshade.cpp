// Deshade: the depth check and the engine run, progress 5 to 25 for the
// set-up and the engine's share mapped onto 25 to 100.
#include "processes/tone/CZRDeshade.h"

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "resources/MessageIds.h"

constinit const ClassDescriptor CZRDeshade::kDescriptor{
    "Deshade", "CZRDeshade", &CLSID_ZRDeshade, 115, 0, true, PROCESS_TYPE_GEOMETRY, {}, &MakeClassFactory<CZRDeshade>};

HRESULT CZRDeshade::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(
        page, result,
        [&] {
            reportProgress(5);
            // A page without an image object is a caller's error here.
            CComPtr<IZRImage> image;
            ThrowIfFailed(page->GetImage(&image));
            if (!image) throw CZRException(E_POINTER);
            return true;
        },
        [&](IZRImage*, int handle) {
            reportProgress(10);
            reportProgress(15);
            BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
            if (!dib) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
            if (dib->biBitCount >= 2) throw CZRException(static_cast<UINT>(IDS_ONLY_BW));
            if (engine_.load(dib) != 0) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
            engine_.setOwner(this);
            reportProgress(20);
            reportProgress(25);
            ProgressRange engineRange(*this, 25, 100);
            // Pages under 100 pixels have no cell grid and stay as they are.
            engine_.run();
            return S_OK;
        });
}
