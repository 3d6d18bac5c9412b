// Resize on a 300-dpi A4 page (2480 x 3508), 1-bit and 24-bit, at the three
// qualities (1 best, 2 normal, 3 fastest), down to 150 dpi and up to 600 dpi.
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"
#include "processes/geometry/CZRResize.h"

#include <benchmark/benchmark.h>

namespace {

void ResizePage(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const int bits = static_cast<int>(state.range(0));
    const auto quality = static_cast<SHORT>(state.range(1));
    const auto dpi = static_cast<SHORT>(state.range(2));
    CComObject<CZRResize>* object = nullptr;
    CComObject<CZRResize>::CreateInstance(&object);
    CComPtr<CComObject<CZRResize>> resize(object);
    const CComBSTR mode(u"RESIZE_MODE"), qualityKey(u"RESIZE_QUALITY"), dpiKey(u"RESIZE_DPI");
    resize->put_Properties(mode, CComVariant(SHORT{2}));
    resize->put_Properties(qualityKey, CComVariant(quality));
    resize->put_Properties(dpiKey, CComVariant(dpi));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits);
        ImageWrapper::set_resolution(document->Pages()[0]->Image()->Handle(), 300, 300);
        state.ResumeTiming();
        VARIANT_BOOL result;
        if (FAILED(resize->Process(document->Pages()[0], &result))) state.SkipWithError("resize failed");
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(ResizePage)
    ->ArgNames({"bits", "quality", "dpi"})
    ->ArgsProduct({{1, 24}, {1, 2, 3}, {150, 600}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
