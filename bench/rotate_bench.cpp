// Rotate on a 300-dpi A4 page (2480 x 3508): quarter turn and 3 degrees, 1-bit and 24-bit.
#include "bench/BenchPages.h"
#include "host/HostRegistration.h"
#include "platform/registry/Registry.h"
#include "processes/geometry/CZRRotate.h"

#include <benchmark/benchmark.h>

namespace {

void RotatePage(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const int bits = static_cast<int>(state.range(0));
    const auto angle = static_cast<SHORT>(state.range(1));
    CComObject<CZRRotate>* object = nullptr;
    CComObject<CZRRotate>::CreateInstance(&object);
    CComPtr<CComObject<CZRRotate>> rotate(object);
    CComBSTR key(u"RotationAngle");
    rotate->put_Properties(key, CComVariant(angle));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(bits);
        state.ResumeTiming();
        VARIANT_BOOL result;
        rotate->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(RotatePage)->ArgsProduct({{1, 24}, {90, 3}})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
