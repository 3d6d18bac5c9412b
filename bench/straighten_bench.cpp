// Straighten on a 300-dpi A4 text page (2480 x 3508) skewed 2.5 degrees
// clockwise, 1-bit, 8-bit and 24-bit: the whole process through the host page
// (copy to Leptonica, measurement, turn, status message) and the measurement
// alone; and Leptonica's find-skew-and-deskew (pixDeskew) on the same pages
// in the same run. Targets: 1-bit no slower than Leptonica, 8-bit within 1.5x.
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "platform/imagelib/PageBridge.h"
#include "platform/registry/Registry.h"
#include "processes/lines/CZRStraighten.h"
#include "processes/lines/SkewFinder.h"

#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <map>
#include <string>

namespace {

constexpr double kSkew = 2.5;

int PageHandle(CZRDocument* document) { return document->Pages()[0]->Image()->Handle(); }

void StraightenProcess(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const int bits = static_cast<int>(state.range(0));
    CComObject<CZRStraighten>* object = nullptr;
    CComObject<CZRStraighten>::CreateInstance(&object);
    CComPtr<CComObject<CZRStraighten>> straighten(object);
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
        state.ResumeTiming();
        VARIANT_BOOL result;
        straighten->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(StraightenProcess)->ArgName("bits")->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime();

// The measurement alone, on the Leptonica copy of the page.
void StraightenMeasure(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
    imagelib::PixPtr pix(imagelib::CopyPageToPix(PageHandle(document)));
    SkewReading reading;
    for (auto _ : state) {
        reading = SkewFinder({15.0, 0.05}).measure(pix.get(), 300);
        benchmark::DoNotOptimize(reading);
    }
    state.SetLabel("measured " + std::to_string(reading.angle) + " confidence " + std::to_string(reading.confidence));
}

BENCHMARK(StraightenMeasure)->ArgName("bits")->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime();

// pixDeskew (pixFindSkew at its default reductions, then pixRotate; grey and
// colour pages binarised at its default threshold) on the same page.
void LeptonicaDeskew(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    CComPtr<CZRDocument> document = BenchDocument(bits, kSkew);
    imagelib::PixPtr pix(imagelib::CopyPageToPix(PageHandle(document)));
    for (auto _ : state) {
        Pix* deskewed = pixDeskew(pix.get(), 0);
        benchmark::DoNotOptimize(deskewed);
        pixDestroy(&deskewed);
    }
}

BENCHMARK(LeptonicaDeskew)->ArgName("bits")->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
