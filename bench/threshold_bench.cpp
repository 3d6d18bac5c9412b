// Dynamic thresholding on a 300-dpi A4 text page (2480 x 3508), 8- and
// 24-bit: the global threshold, the edge filter followed by the global
// threshold, and the local box threshold, each as the whole-page run does it
// (new 1-bit destination, 8-bit intermediate for the edge road).
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "image/PixelImage.h"
#include "platform/registry/Registry.h"
#include "processes/tone/CZRDynamicThresholding.h"
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

// The whole process as a host calls it (frame, properties, new bitmap handed
// to the page), on a fresh copy of the page each time; args: bits, local.
void ThresholdProcess(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    CComObject<CZRDynamicThresholding>* object = nullptr;
    CComObject<CZRDynamicThresholding>::CreateInstance(&object);
    CComPtr<CComObject<CZRDynamicThresholding>> process(object);
    CComBSTR local(u"LOCALTHRESH");
    process->put_Properties(local, CComVariant(static_cast<SHORT>(state.range(1))));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        VARIANT_BOOL result;
        process->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(ThresholdProcess)
    ->ArgNames({"bits", "local"})
    ->Args({8, 0})
    ->Args({8, 1})
    ->Args({24, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
