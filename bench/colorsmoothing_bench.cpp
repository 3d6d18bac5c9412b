// Colour smoothing on a 300-dpi A4 colour page (2480 x 3508, 24 bits): the
// average of a 400 x 400 paper sample and the replacement over the whole
// page at "TOLERANCE" 20.
#include "bench/BenchPages.h"
#include "image/PixelImage.h"
#include "processes/tone/ColorSmoother.h"

#include <benchmark/benchmark.h>

namespace {

void SmoothColourPage(benchmark::State& state) {
    CComPtr<CZRDocument> document = BenchDocument(24);
    PixelImage page(ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle()));
    ColorSmoother smoother(nullptr);
    for (auto _ : state) {
        const AverageColor average = smoother.averageZoneColor(page, 100, 100, 500, 500);
        smoother.replaceNearColor(page, average, ColorSmoother::toleranceFor(20));
        benchmark::DoNotOptimize(page.bits());
    }
}

BENCHMARK(SmoothColourPage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
