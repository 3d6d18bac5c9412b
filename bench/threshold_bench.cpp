// Dynamic thresholding on a 300-dpi A4 text page (2480 x 3508), 8- and
// 24-bit: the global threshold, the edge filter followed by the global
// threshold, and the local box threshold, each as the whole-page run does it
// (new 1-bit destination, 8-bit intermediate for the edge road).
#include "bench/BenchPages.h"
#include "image/PixelImage.h"
#include "processes/tone/ThresholdEngine.h"

#include <benchmark/benchmark.h>

namespace {

enum Method { kGlobal, kEdge, kLocal };

// args: bits, method.
void ThresholdPage(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const auto method = static_cast<Method>(state.range(1));
    CComPtr<CZRDocument> document = BenchDocument(bits);
    PixelImage source(ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle()));
    const ToneRect page{0, source.width(), 0, source.height()};
    for (auto _ : state) {
        PixelImage destination(source.width(), source.height(), 1, true);
        switch (method) {
            case kGlobal:
                ThresholdEngine::applyGlobalThreshold(source, destination, page, 0);
                break;
            case kEdge: {
                PixelImage edges(source.width(), source.height(), 8, true);
                ThresholdEngine::applyEdgeFilter(source, edges, page);
                ThresholdEngine::applyGlobalThreshold(edges, destination, page, 0);
                break;
            }
            case kLocal:
                ThresholdEngine::applyLocalThreshold(source, destination, page, 20, -1, 0);
                break;
        }
        benchmark::DoNotOptimize(destination.bits());
    }
}

BENCHMARK(ThresholdPage)
    ->ArgNames({"bits", "method"})
    ->Args({8, kGlobal})
    ->Args({8, kEdge})
    ->Args({8, kLocal})
    ->Args({24, kGlobal})
    ->Args({24, kEdge})
    ->Args({24, kLocal})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
