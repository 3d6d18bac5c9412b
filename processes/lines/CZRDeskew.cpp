// Deskew: the detection type, the 1-bit and deeper paths, the rotation.
#include "processes/lines/CZRDeskew.h"

#include "framework/CZRException.h"
#include "image/CheckStatus.h"
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "processes/lines/ProfileSkewAnalyzer.h"
#include "processes/lines/SkewAnalyzer.h"
#include "resources/MessageIds.h"

#include <string_view>

namespace {

constexpr Property<VT_BSTR> kDetectionType{"DetectionType", "Lines",
                                           "how the skew is measured: Lines, Text or Angle (exact case)"};
constexpr PropertyDecl kProperties[] = {kDetectionType};

// The Hough trial angles span -15 .. +15 degrees here.
constexpr int kAngleRange = 15;

// A library bitmap the process made for itself, deleted on every exit.
class OwnedBitmap {
public:
    explicit OwnedBitmap(int handle) : handle_(handle) {}
    ~OwnedBitmap() {
        if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
    }
    OwnedBitmap(const OwnedBitmap&) = delete;
    OwnedBitmap& operator=(const OwnedBitmap&) = delete;
    int handle() const { return handle_; }
    void reset() {
        if (handle_ >= 0) ImageWrapper::delete_bitmap(handle_);
        handle_ = -1;
    }

private:
    int handle_;
};

}  // namespace

constinit const ClassDescriptor CZRDeskew::kDescriptor{"Deskew",
                                                       "CZRDeskew",
                                                       &CLSID_ZRDeskew,
                                                       103,
                                                       102,
                                                       true,
                                                       PROCESS_TYPE_GEOMETRY,
                                                       kProperties,
                                                       &MakeClassFactory<CZRDeskew>};

CZRDeskew::DetectionType CZRDeskew::ReadDetectionType() {
    // A value of another type counts as Lines, so it is read as stored.
    const CComVariant value = ReadStored(kDetectionType);
    if (value.vt != VT_BSTR) return kLinesType;
    const std::u16string_view text = value.bstrVal ? std::u16string_view(value.bstrVal) : std::u16string_view();
    if (text == u"Lines") return kLinesType;
    if (text == u"Text") return kTextType;
    if (text == u"Angle") return kAngleType;
    return kUnknownType;
}

HRESULT CZRDeskew::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        reportProgress(5);
        const DetectionType type = ReadDetectionType();
        if (type == kUnknownType) {
            *result = VARIANT_FALSE;
            return S_OK;
        }
        reportProgress(10);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        // A handle the library does not know has no header at all.
        if (!dib || dib->biSize != sizeof(BITMAPINFOHEADER)) throw CZRException(IDS_INVALID_IMAGE);
        const bool rotated = dib->biBitCount == 1 ? DeskewBinary(dib, handle, type) : DeskewDeeper(dib, handle, type);
        if (rotated) {
            reportProgress(95);
            ThrowIfFailed(image->SetModified(VARIANT_TRUE));
        }
        return S_OK;
    });
}

// Measures a 1-bit DIB by the given type: whole degrees for "Lines" and
// "Angle", half degrees for "Text".
double CZRDeskew::MeasureBinary(BITMAPINFOHEADER* dib, DetectionType type) {
    if (type == kTextType) {
        ProgressRange step(*this, 10, 20);
        PixelImage pixels(dib);
        step.replace(20, 80);
        ProfileSkewAnalyzer analyzer(this);
        return analyzer.profileSkew(pixels);
    }
    PixelImage pixels(dib);
    SkewAnalyzer analyzer(this, type == kAngleType ? SkewAnalyzer::kAngle : SkewAnalyzer::kLines);
    analyzer.angleRange = kAngleRange;
    const int angle = analyzer.measure(&pixels);
    return angle;
}

bool CZRDeskew::DeskewBinary(BITMAPINFOHEADER* dib, int handle, DetectionType type) {
    double angle = 0.0;
    if (type == kTextType) {
        angle = MeasureBinary(dib, type);
    } else {
        ProgressRange measuring(*this, 10, 80);
        angle = MeasureBinary(dib, type);
    }
    if (angle == 0.0) {
        reportProgress(100);
        return false;
    }
    // The wrappers of the DIB are gone: the rotation replaces it.
    reportProgress(80);
    const int status = ImageWrapper::rotate_bitmap(handle, angle);
    reportProgress(85);
    CheckStatus(status);
    return true;
}

bool CZRDeskew::DeskewDeeper(BITMAPINFOHEADER* dib, int handle, DetectionType type) {
    if (type == kTextType) {
        float angle = 0.0f;
        {
            // The page's own pixels, white by the depth's threshold.
            PixelImage pixels(dib);
            ProgressRange measuring(*this, 10, 80);
            ProfileSkewAnalyzer analyzer(this);
            angle = analyzer.profileSkew(pixels);
        }
        // Passed to the rotation even at 0 (which leaves the pixels as they
        // are); a rotation that failed must not pass as a deskewed page.
        CheckStatus(ImageWrapper::rotate_bitmap(handle, static_cast<double>(angle)));
        return true;
    }

    // "Lines" and "Angle" measure a thresholded 1-bit copy, deleted on every exit.
    OwnedBitmap copy(ImageWrapper::create_handle_from_dib(dib));
    CheckStatus(copy.handle());
    reportProgress(35);
    CheckStatus(ImageWrapper::set_bit_depth(copy.handle(), 1, true));
    int angle = 0;
    {
        PixelImage pixels(ImageWrapper::get_raw_dib(copy.handle()));
        ProgressRange measuring(*this, 45, 80);
        SkewAnalyzer analyzer(this, type == kAngleType ? SkewAnalyzer::kAngle : SkewAnalyzer::kLines);
        analyzer.angleRange = kAngleRange;
        angle = analyzer.measure(&pixels);
    }
    copy.reset();
    reportProgress(80);
    if (angle == 0) return false;
    const int status = ImageWrapper::rotate_bitmap(handle, static_cast<double>(angle));
    reportProgress(90);
    CheckStatus(status);
    return true;
}
