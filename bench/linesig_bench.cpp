// The line signature alone on a 300-dpi A4 text page (2480 x 3508) skewed 3
// degrees: both views with the deskew settings, read straight from the 1-bit
// DIB rows and through a BoolImage's accessors (the path of deeper pages in
// line removal), and one view with the default settings.
#include "bench/BenchPages.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "processes/lines/LineSig.h"

#include "processes/lines/SkewAnalyzer.h"

#include <benchmark/benchmark.h>

namespace {

void BothViews(benchmark::State& state) {
    const bool throughBoolImage = state.range(0) != 0;
    CComPtr<CZRDocument> document = BenchDocument(1, 3.0);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle());
    PixelImage pixels(dib);
    BoolImage bits(&pixels);
    std::size_t segments = 0;
    for (auto _ : state) {
        LineSig sig(&pixels);
        if (throughBoolImage) sig.setBoolImage(&bits);
        SkewAnalyzer::configureLineSig(sig);
        sig.create();
        segments = sig.horizontal().size() + sig.vertical().size();
        benchmark::DoNotOptimize(segments);
    }
    state.SetLabel(std::string(throughBoolImage ? "BoolImage accessors" : "1-bit rows") + ", " +
                   std::to_string(segments) + " segments");
}

BENCHMARK(BothViews)->ArgName("boolimage")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void DefaultSettings(benchmark::State& state) {
    CComPtr<CZRDocument> document = BenchDocument(1, 3.0);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle());
    PixelImage pixels(dib);
    for (auto _ : state) {
        LineSig sig(&pixels);
        sig.create();
        benchmark::DoNotOptimize(sig.horizontal().size());
    }
}

BENCHMARK(DefaultSettings)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
