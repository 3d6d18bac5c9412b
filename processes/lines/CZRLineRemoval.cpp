// Line removal: reads the properties, wraps the page's bitmap (and its 1-bit
// view for deeper pages) in the chosen orientation, and runs detection
// (progress 15 to 70), erasure (75 to 90, or 75 to 80 with reconstruction)
// and reconnection (80 to 90).
#include "processes/lines/CZRLineRemoval.h"

#include "framework/CZRException.h"
#include "framework/QNCException.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "resources/MessageIds.h"

#include <memory>

namespace {
constexpr Property<VT_BSTR> kOrientation{
    "ORIENTATION", "Horizontal", "Horizontal (any letter case) erases horizontal lines, any other text vertical ones"};
constexpr Property<VT_I4> kMinLength{"MINLENGTH", 0, "shortest line erased, in pixels"};
constexpr Property<VT_I4> kMaxThickness{
    "MAXTHICKNESS", 0, "thickest line erased, in pixels (median thickness of a piece; 0 erases nothing; at most 50)"};
constexpr Property<VT_I4> kMaxGap{"MAXGAP", 0, "largest break along a line that still counts as one line, in pixels"};
constexpr Property<VT_I4> kCleanup{"CLEANUP", 0, "extra rows erased above and below each line (at most 50)"};
constexpr Property<VT_I4> kReconstruction{
    "RECONSTRUCTION", 0,
    "above 0 rebuilds the strokes a line crossed; the largest sideways distance between joined stroke ends (at "
    "most 200)"};
constexpr Property<VT_I4> kDetection{
    "DETECTION", 0,
    "0 finds lines by a clean upper edge; 1 follows every long dark run, so rules that text touches or crosses are "
    "found whole, and erases each rule's own pixels"};
constexpr PropertyDecl kProperties[] = {kOrientation, kMinLength,      kMaxThickness, kMaxGap,
                                        kCleanup,     kReconstruction, kDetection};
// "DETECTION" value that selects the run trace; any other keeps the edge search.
constexpr LONG kRunTrace = 1;

// The detection settings of line removal (the other LineSig parameters keep
// their defaults).
constexpr int kCleanRunLength = 5;
constexpr int kMaxTransitions = 1;
constexpr double kScanFraction = 0.8;
constexpr int kMargin = 5;

void ForwardProgress(void* context, int percent) { static_cast<CZRProgressTracker*>(context)->reportProgress(percent); }

}  // namespace

constinit const ClassDescriptor CZRLineRemoval::kDescriptor{"LineRemoval",
                                                            "CZRLineRemoval",
                                                            &CLSID_ZRLineRemoval,
                                                            110,
                                                            0,
                                                            false,
                                                            PROCESS_TYPE_DEFAULT,
                                                            kProperties,
                                                            &MakeClassFactory<CZRLineRemoval>};

bool CZRLineRemoval::IsHorizontal(const VARIANT& orientation) {
    if (orientation.vt != VT_BSTR) return true;
    if (!orientation.bstrVal) return false;
    static constexpr std::u16string_view kHorizontal = u"HORIZONTAL";
    const std::u16string_view text(orientation.bstrVal, SysStringLen(orientation.bstrVal));
    if (text.size() != kHorizontal.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i] >= u'a' && text[i] <= u'z' ? static_cast<char16_t>(text[i] - u'a' + u'A') : text[i];
        if (c != kHorizontal[i]) return false;
    }
    return true;
}

HRESULT CZRLineRemoval::Process(IZRPage* page, VARIANT_BOOL* result) {
    // A missing result, page or image is a bad pointer here.
    if (!result || !page) return E_POINTER;
    const auto needsImage = [&] {
        CComPtr<IZRImage> image;
        ThrowIfFailed(page->GetImage(&image));
        if (!image) throw CZRException(static_cast<HRESULT>(E_POINTER));
        return true;
    };
    return RunProcess(page, result, needsImage, [&](IZRImage*, int handle) {
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        if (!dib) throw QNCException("Invalid image", IDS_UNKNOWN_INTERNAL_ERROR);
        PixelImage pixels(dib);
        // Deeper pages are judged through their 1-bit view and painted in colour.
        std::unique_ptr<BoolImage> bools;
        if (pixels.bitCount() != 1) bools = std::make_unique<BoolImage>(&pixels);

        const bool horizontal = IsHorizontal(ReadStored(kOrientation));
        const LONG reconstruction = Read(kReconstruction);
        const LONG maxThickness = Read(kMaxThickness);
        pixels.setRotatedView(!horizontal);
        if (bools) bools->setRotatedView(!horizontal);

        // Neither engine may keep this page's images, however the work ends.
        struct Detach {
            LRLineSig& signature;
            LineEraser& eraser;
            ~Detach() {
                signature.setImage(nullptr);
                signature.setBoolImage(nullptr);
                signature.clearGroups();
                signature.freeComponentMap();
                eraser.setImages(nullptr, nullptr);
                eraser.setSignature(nullptr);
            }
        } detach{signature_, eraser_};

        const bool runTrace = Read(kDetection) == kRunTrace;
        eraser_.setProperties(Read(kCleanup), maxThickness, reconstruction);
        eraser_.setFollowRuns(runTrace);
        eraser_.setImages(&pixels, bools.get());
        eraser_.setSignature(&signature_);
        eraser_.setProgressHook(&ForwardProgress, static_cast<CZRProgressTracker*>(this));

        signature_.detection = runTrace ? LRLineSig::Detection::RunTrace : LRLineSig::Detection::EdgeSearch;
        signature_.bothViews = false;
        // Traced rules rebuild crossing strokes from the pixels beside them,
        // without component labels.
        signature_.reconstruction = reconstruction > 0 && !runTrace;
        signature_.wantHorizontal = true;
        signature_.wantVertical = false;
        signature_.mergeGap = Read(kMaxGap);
        signature_.minLengthH = Read(kMinLength);
        signature_.cleanRunLength = kCleanRunLength;
        signature_.maxTransitions = kMaxTransitions;
        signature_.maxPieceThickness = maxThickness;
        signature_.scanFraction = kScanFraction;
        signature_.margin = kMargin;
        signature_.setProgressHook(&ForwardProgress, static_cast<CZRProgressTracker*>(this));

        {
            ProgressRange range(*this, 15, 70);
            signature_.detect(&pixels, bools.get());
        }
        if (reconstruction > 0) {
            ProgressRange range(*this, 75, 80);
            eraser_.eraseLines();
            range.replace(80, 90);
            eraser_.reconnectStrokes();
        } else {
            ProgressRange range(*this, 75, 90);
            eraser_.eraseLines();
        }
        reportProgress(90);
        return S_OK;
    });
}
