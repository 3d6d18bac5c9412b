// Deskew on a 300-dpi A4 text page (2480 x 3508) skewed 3 degrees clockwise:
// the measurement of each detection type, the rotation, and the whole
// process, on 1-bit and 24-bit pages; and Leptonica's pixFindSkew and
// pixDeskew on the same 1-bit page for comparison.
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"
#include "processes/lines/CZRDeskew.h"
#include "processes/lines/ProfileSkewAnalyzer.h"
#include "processes/lines/SkewAnalyzer.h"
#include "tools/synthpage/SyntheticPage.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

namespace {

constexpr double kSkew = 3.0;
const char* const kTypes[] = {"", "Angle", "Lines", "Text"};

int PageHandle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }

// The measurement as the process makes it, without the rotation: 1-bit pages
// directly, deeper pages on a thresholded copy ("Lines", "Angle") or through
// their own threshold ("Text").
double Measure(int handle, int type) {
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    if (type == CZRDeskew::kTextType) {
        PixelImage pixels(dib);
        ProfileSkewAnalyzer analyzer(nullptr);
        return analyzer.profileSkew(pixels);
    }
    const auto mode = type == CZRDeskew::kAngleType ? SkewAnalyzer::kAngle : SkewAnalyzer::kLines;
    if (dib->biBitCount == 1) {
        PixelImage pixels(dib);
        SkewAnalyzer analyzer(nullptr, mode);
        analyzer.angleRange = 15;
        return analyzer.measure(&pixels);
    }
    const int copy = ImageWrapper::create_handle_from_dib(dib);
    ImageWrapper::set_bit_depth(copy, 1, true);
    int angle = 0;
    {
        PixelImage pixels(ImageWrapper::get_raw_dib(copy));
        SkewAnalyzer analyzer(nullptr, mode);
        analyzer.angleRange = 15;
        angle = analyzer.measure(&pixels);
    }
    ImageWrapper::delete_bitmap(copy);
    return angle;
}

void Measurement(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const int type = static_cast<int>(state.range(1));
    CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
    const int handle = PageHandle(document);
    double angle = 0;
    for (auto _ : state) {
        angle = Measure(handle, type);
        benchmark::DoNotOptimize(angle);
    }
    state.SetLabel(std::string(kTypes[type]) + " measured " + std::to_string(angle));
}

BENCHMARK(Measurement)
    ->ArgNames({"bits", "type"})
    ->ArgsProduct({{1, 24}, {CZRDeskew::kLinesType, CZRDeskew::kTextType, CZRDeskew::kAngleType}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The rotation by the angle "Lines" measures (whole degrees) and by the
// half-degree angle "Text" gives.
void Rotation(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const double angle = -static_cast<double>(state.range(1)) / 2.0;
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ImageWrapper::rotate_bitmap(PageHandle(document), angle));
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(Rotation)
    ->ArgNames({"bits", "halfdeg"})
    ->ArgsProduct({{1, 24}, {6, 5}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole process: measurement and rotation through the host page.
void Process(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const int bits = static_cast<int>(state.range(0));
    const int type = static_cast<int>(state.range(1));
    CComObject<CZRDeskew>* object = nullptr;
    CComObject<CZRDeskew>::CreateInstance(&object);
    CComPtr<CComObject<CZRDeskew>> deskew(object);
    CComBSTR key(u"DetectionType");
    deskew->put_Properties(key, CComVariant(kTypes[type]));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
        state.ResumeTiming();
        VARIANT_BOOL result;
        deskew->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
    state.SetLabel(kTypes[type]);
}

BENCHMARK(Process)
    ->ArgNames({"bits", "type"})
    ->ArgsProduct({{1, 24}, {CZRDeskew::kLinesType, CZRDeskew::kTextType, CZRDeskew::kAngleType}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Leptonica on the same page, rendered the same way as BenchDocument's.
Pix* LeptonicaPage() {
    static Pix* page = [] {
        using namespace leafmend::synthpage;
        PageOptions options = PageOptions::A4(300);
        options.depth = 1;
        options.skewDegrees = kSkew;
        return RenderPage(options);
    }();
    return page;
}

void LeptonicaFindSkew(benchmark::State& state) {
    Pix* page = LeptonicaPage();
    l_float32 angle = 0;
    l_float32 confidence = 0;
    for (auto _ : state) {
        pixFindSkew(page, &angle, &confidence);
        benchmark::DoNotOptimize(angle);
    }
    state.SetLabel("measured " + std::to_string(angle));
}

BENCHMARK(LeptonicaFindSkew)->Unit(benchmark::kMillisecond)->UseRealTime();

// pixDeskew: its own measurement (reduction 2) and the rotation.
void LeptonicaDeskew(benchmark::State& state) {
    Pix* page = LeptonicaPage();
    for (auto _ : state) {
        Pix* deskewed = pixDeskew(page, 0);
        benchmark::DoNotOptimize(deskewed);
        pixDestroy(&deskewed);
    }
}

BENCHMARK(LeptonicaDeskew)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
