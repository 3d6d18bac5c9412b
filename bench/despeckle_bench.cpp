// Despeckle on a 300-dpi A4 text page (2480 x 3508): the process on 1-, 8- and
// 24-bit pages, and the two roads of the 1-bit engine side by side.
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "image/PixelImage.h"
#include "platform/registry/Registry.h"
#include "processes/cleanup/CZRDespeckle.h"
#include "processes/cleanup/SpeckleRemover.h"

#include <benchmark/benchmark.h>

namespace {

// Process on a fresh copy of the page each time; args: bits, "SIZE", "CHARPRESERVE".
void DespecklePage(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const int bits = static_cast<int>(state.range(0));
    CComObject<CZRDespeckle>* object = nullptr;
    CComObject<CZRDespeckle>::CreateInstance(&object);
    CComPtr<CComObject<CZRDespeckle>> despeckle(object);
    CComBSTR size(u"SIZE");
    CComBSTR preserve(u"CHARPRESERVE");
    despeckle->put_Properties(size, CComVariant(static_cast<LONG>(state.range(1))));
    despeckle->put_Properties(preserve, CComVariant(static_cast<SHORT>(state.range(2))));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits);
        state.ResumeTiming();
        VARIANT_BOOL result;
        despeckle->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(DespecklePage)
    ->Args({1, 3, 0})
    ->Args({1, 3, 1})
    ->Args({8, 1, 0})
    ->Args({8, 3, 0})
    ->Args({24, 1, 0})
    ->Args({24, 3, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The 1-bit engine alone; arg 0: the label map, 1: the run road.
void SpeckleRoad(benchmark::State& state) {
    const bool byRuns = state.range(0) != 0;
    SpeckleRemover remover;
    remover.setSizeLimit(3);
    remover.setPreserve(true);
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(1);
        PixelImage page(ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle()));
        state.ResumeTiming();
        if (byRuns)
            remover.run(&page);
        else
            remover.runWithLabelMap(&page);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(SpeckleRoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
