// The line signature alone on a 300-dpi A4 text page (2480 x 3508) skewed 3
// degrees: both views with the deskew settings, read straight from the 1-bit
// DIB rows and through a BoolImage's accessors (the path of deeper pages in
// line removal), and one view with the default settings.
#include "bench/BenchPages.h"
#include "image/BoolImage.h"
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "processes/lines/LineSig.h"

#include <benchmark/benchmark.h>

namespace {

// The settings the deskew process uses.
void DeskewSettings(LineSig& sig) {
    sig.wantHorizontal = true;
    sig.wantVertical = true;
    sig.bothViews = true;
    sig.minLengthH = sig.minLengthV = 100;
    sig.mergeGap = 20;
    sig.mergeOffset = 5;
    sig.rowStep = 1;
    sig.cleanRunLength = 5;
    sig.maxTransitions = 1;
    sig.columnSpacing = 16;
    sig.probeHalfWidth = 8;
    sig.skipAfterHit = 10;
    sig.edgeSearchDepth = 5;
    sig.hitQuota = 12;
    sig.mergePasses = 0;
}

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
        DeskewSettings(sig);
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
