// Smooth on a 300-dpi A4 text page (2480 x 3508, 1 bit): every member of the
// morphology engine at sizes 1 and 3, on a fresh copy of the page each time.
#include "bench/BenchPages.h"
#include "processes/cleanup/MorphologyEngine.h"

#include <benchmark/benchmark.h>

namespace {

using Member = void (MorphologyEngine::*)(BITMAPINFOHEADER*, int);

void RunMember(benchmark::State& state, Member member) {
    const int size = static_cast<int>(state.range(0));
    MorphologyEngine engine;
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(1);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle());
        state.ResumeTiming();
        (engine.*member)(dib, size);
        benchmark::ClobberMemory();
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

void Erode(benchmark::State& state) { RunMember(state, &MorphologyEngine::erode); }
void Dilate(benchmark::State& state) { RunMember(state, &MorphologyEngine::dilate); }
void Open(benchmark::State& state) { RunMember(state, &MorphologyEngine::open); }
void Close(benchmark::State& state) { RunMember(state, &MorphologyEngine::close); }
void Smooth(benchmark::State& state) { RunMember(state, &MorphologyEngine::smooth); }

BENCHMARK(Erode)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Dilate)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Open)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Close)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Smooth)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
