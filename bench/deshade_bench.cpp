// Deshade on a 300-dpi A4 page (2480 x 3508, 1 bit): the text page as it is
// (nothing shaded) and the same page with a dithered grey box behind a third
// of its text; a fresh copy of the page for every run.
#include "bench/BenchPages.h"
#include "processes/tone/DeshadeEngine.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// arg: 1 = shade a third of the page with a 50 % checker dither first.
void DeshadePage(benchmark::State& state) {
    DeshadeEngine engine;
    CComPtr<CZRDocument> master = BenchDocument(1);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(master->Pages()[0]->Image()->Handle());
    const std::size_t stride = dib::Stride(dib->biWidth, 1);
    if (state.range(0) != 0) {
        for (LONG row = dib->biHeight / 3; row < 2 * dib->biHeight / 3; ++row) {
            BYTE* bits = dib::Bits(dib) + stride * static_cast<std::size_t>(row);
            for (std::size_t i = 0; i < stride; ++i) bits[i] &= (row % 2) ? 0xAA : 0x55;
        }
    }
    const std::size_t size = stride * static_cast<std::size_t>(dib->biHeight);
    std::vector<BYTE> original(dib::Bits(dib), dib::Bits(dib) + size);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dib::Bits(dib), original.data(), size);
        state.ResumeTiming();
        engine.load(dib);
        engine.run();
        benchmark::DoNotOptimize(dib::Bits(dib));
    }
}

BENCHMARK(DeshadePage)->ArgName("shaded")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
