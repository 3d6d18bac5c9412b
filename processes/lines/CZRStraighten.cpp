// Straighten: reads and checks the settings, measures a Leptonica copy of the
// page, decides, turns with the edge's tone and reports.
#include "processes/lines/CZRStraighten.h"

#include "framework/CZRException.h"
#include "framework/StatusMessage.h"
#include "image/CheckStatus.h"
#include "platform/imagelib/PageBridge.h"
#include "processes/lines/SkewFinder.h"
#include "resources/MessageIds.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace {

constexpr Property<VT_R8> kPrecision{"PRECISION", 0.05,
                                     "smallest step of the angle search in degrees (0.001 to 1); angles below twice "
                                     "this are left alone"};
constexpr Property<VT_R8> kMaxAngle{"MAXANGLE", 15.0, "largest skew searched for, degrees either way (up to 45)"};
constexpr Property<VT_R8> kMinConfidence{"MINCONFIDENCE", 10.0,
                                         "the page is turned only when the measurement's confidence reaches this: "
                                         "sharpest row alignment over the flattest; rows of text score 15 and more, "
                                         "pages without them under 7"};
constexpr PropertyDecl kProperties[] = {kPrecision, kMaxAngle, kMinConfidence};

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

}  // namespace

constinit const ClassDescriptor CZRStraighten::kDescriptor{"Straighten",
                                                           "CZRStraighten",
                                                           &CLSID_ZRStraighten,
                                                           116,
                                                           0,
                                                           false,
                                                           PROCESS_TYPE_GEOMETRY,
                                                           kProperties,
                                                           &MakeClassFactory<CZRStraighten>};

std::u16string CZRStraighten::Report(const SkewReading& reading, bool turned, double minConfidence, double smallest) {
    if (!reading.measurable) return Ascii("No measurable skew.");
    const char* verdict = turned                               ? "straightened"
                          : reading.confidence < minConfidence ? "below confidence: left as is"
                          : std::abs(reading.angle) < smallest ? "within precision: left as is"
                                                               : "left as is";
    // Whole hundredths of a degree; -0.00 reads as 0.00.
    double angle = std::round(reading.angle * 100.0) / 100.0;
    if (angle == 0.0) angle = 0.0;
    char number[32];
    char rest[96];
    std::snprintf(number, sizeof number, "Skew %.2f", angle);
    std::snprintf(rest, sizeof rest, " (confidence %.1f): %s.", reading.confidence, verdict);
    return Ascii(number) + u"\u00B0" + Ascii(rest);
}

std::uint32_t CZRStraighten::EdgeTone(const BITMAPINFOHEADER* dib) {
    const LONG w = dib->biWidth, h = dib->biHeight;
    const int bits = dib->biBitCount;
    const std::size_t stride = dib::Stride(w, dib->biBitCount);
    const BYTE* bits0 = dib::Bits(dib);
    const int channels = bits == 24 ? 3 : 1;
    std::array<std::array<std::uint32_t, 256>, 3> histogram{};
    std::uint64_t samples = 0;
    // Rows are stored bottom-up, but every edge is visited alike.
    auto count = [&](LONG x, LONG y) {
        const BYTE* row = bits0 + static_cast<std::size_t>(y) * stride;
        if (bits == 1) {
            ++histogram[0][((row[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0];
        } else {
            for (int c = 0; c < channels; ++c) ++histogram[c][row[static_cast<std::size_t>(x) * channels + c]];
        }
        ++samples;
    };
    const LONG depth = 2;
    for (LONG y = 0; y < h; ++y) {
        const bool edgeRow = y < depth || y >= h - depth;
        if (edgeRow) {
            for (LONG x = 0; x < w; ++x) count(x, y);
        } else {
            for (LONG x = 0; x < std::min(depth, w); ++x) count(x, y);
            for (LONG x = std::max(depth, w - depth); x < w; ++x) count(x, y);
        }
    }
    auto median = [&](int c) -> std::uint32_t {
        std::uint64_t seen = 0;
        for (int level = 0; level < 256; ++level) {
            seen += histogram[c][level];
            if (2 * seen >= samples) return static_cast<std::uint32_t>(level);
        }
        return 255;
    };
    if (bits == 1) return median(0) == 0 ? 0u : 0xFFFFFFu;
    if (bits == 8) return median(0);
    // DIB order blue, green, red.
    return median(2) << 16 | median(1) << 8 | median(0);
}

HRESULT CZRStraighten::Process(IZRPage* page, VARIANT_BOOL* result) {
    return RunProcess(page, result, [&](IZRImage* image, int handle) {
        const double precision = Read(kPrecision);
        const double maxAngle = Read(kMaxAngle);
        const double minConfidence = Read(kMinConfidence);
        if (!(maxAngle > 0.0 && maxAngle <= 45.0)) throw CZRException(static_cast<UINT>(IDS_DESKEW_ANGLE_RANGE));
        if (!(precision >= 0.001 && precision <= 1.0) || !std::isfinite(minConfidence))
            throw CZRException(static_cast<UINT>(IDS_INVALID_PARAMETER));
        reportProgress(5);
        const BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        if (!dib || dib->biSize != sizeof(BITMAPINFOHEADER)) throw CZRException(static_cast<UINT>(IDS_INVALID_IMAGE));
        if (dib->biBitCount != 1 && dib->biBitCount != 8 && dib->biBitCount != 24)
            throw CZRException(static_cast<UINT>(IDS_UNSUPPORTED_COLOR));
        const int dpi = dib->biXPelsPerMeter;

        SkewReading reading;
        {
            imagelib::PixPtr copy(imagelib::CopyPageToPix(handle));
            if (!copy) throw CZRException(static_cast<UINT>(IDS_OUT_OF_MEMORY));
            reportProgress(15);
            reading = SkewFinder({maxAngle, precision}).measure(copy.get(), dpi);
        }
        reportProgress(70);

        // Angles under twice the precision are within the measurement's own
        // step: turning by them would only blur the page.
        const double smallest = 2.0 * precision;
        const bool turn =
            reading.measurable && reading.confidence >= minConfidence && std::abs(reading.angle) >= smallest;
        if (turn) {
            CheckStatus(imagelib::RotatePageFilled(handle, reading.angle, EdgeTone(dib)));
            reportProgress(95);
            ThrowIfFailed(image->SetModified(VARIANT_TRUE));
        }
        CComBSTR name;
        ThrowIfFailed(get_Name(&name));
        const CComBSTR processName(name.Length() ? std::u16string(name.view()) : Ascii(kDescriptor.name));
        PostStatusMessage(page, processName, kStatusRefused, Report(reading, turn, minConfidence, smallest));
        return S_OK;
    });
}
