// Line removal on a 300-dpi A4 1-bit form page (2480 x 3508): text crossed by
// 30 horizontal rules 1 to 6 pixels thick, level and slanted up to 2 degrees.
// The whole process with and without stroke reconstruction, and its stages
// (detection with the column profiles, erasure, reconnection) alone.
#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"
#include "processes/lines/CZRLineRemoval.h"

#include <benchmark/benchmark.h>
// Leptonica (through the form pages) after the COM headers.
#include "bench/FormPages.h"

#include <cstdio>

namespace {

// The settings of the quality table: rules up to 6 pixels, an inch long or more.
constexpr LONG kMaxThickness = 6;
constexpr LONG kMinLength = 300;
constexpr LONG kMaxGap = 30;
constexpr LONG kReconstruction = 20;

// The form page, loaded once through a G4 TIFF as files reach the library.
int MasterHandle() {
    static const int handle = [] {
        formpages::FormPage form;
        formpages::Build(form, 300, 30, {1, 2, 3, 4, 5, 6}, {0.0, 0.5, -1.0, 2.0, 0.0, -2.0});
        const char* path = "/tmp/leafmend-lineremoval-bench.tif";
        pixWrite(path, form.page, IFF_TIFF_G4);
        const int loaded = imagefile::LoadPage(path, 0);
        std::remove(path);
        return loaded;
    }();
    return handle;
}

CComPtr<CZRDocument> FormDocument() {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(ImageWrapper::create_handle_from_dib(ImageWrapper::get_raw_dib(MasterHandle())));
    return document;
}

void Set(CComObject<CZRLineRemoval>* process, const char16_t* key, LONG value) {
    CComBSTR name(key);
    process->put_Properties(name, CComVariant(value));
}

void Process(benchmark::State& state) {
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const LONG reconstruction = state.range(0) != 0 ? kReconstruction : 0;
    const LONG detection = state.range(1);
    CComObject<CZRLineRemoval>* object = nullptr;
    CComObject<CZRLineRemoval>::CreateInstance(&object);
    CComPtr<CComObject<CZRLineRemoval>> process(object);
    Set(object, u"MAXTHICKNESS", kMaxThickness);
    Set(object, u"MINLENGTH", kMinLength);
    Set(object, u"MAXGAP", kMaxGap);
    Set(object, u"RECONSTRUCTION", reconstruction);
    Set(object, u"DETECTION", detection);
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = FormDocument();
        state.ResumeTiming();
        VARIANT_BOOL result;
        process->Process(document->Pages()[0], &result);
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
    state.SetLabel(std::string(detection ? "traced rules, " : "edge search, ") +
                   (reconstruction ? "with reconstruction" : "without reconstruction"));
}

BENCHMARK(Process)
    ->ArgNames({"reconstruction", "detection"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The stages on their own, on a fresh copy each time.
void Stages(benchmark::State& state) {
    const int stage = static_cast<int>(state.range(0));
    const bool traced = state.range(1) != 0;
    std::size_t pieces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = FormDocument();
        PixelImage pixels(ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle()));
        LRLineSig sig;
        sig.detection = traced ? LRLineSig::Detection::RunTrace : LRLineSig::Detection::EdgeSearch;
        // Traced rules rebuild strokes without component labels.
        sig.reconstruction = stage != 0 && !traced;
        sig.mergeGap = kMaxGap;
        sig.minLengthH = kMinLength;
        sig.cleanRunLength = 5;
        sig.maxPieceThickness = kMaxThickness;
        sig.scanFraction = 0.8;
        sig.margin = 5;
        LineEraser eraser;
        eraser.setProperties(0, kMaxThickness, stage != 0 ? kReconstruction : 0);
        eraser.setFollowRuns(traced);
        eraser.setImages(&pixels, nullptr);
        eraser.setSignature(&sig);
        if (stage <= 1) state.ResumeTiming();
        sig.detect(&pixels, nullptr);
        if (stage <= 1) state.PauseTiming();
        if (stage == 2) state.ResumeTiming();
        eraser.eraseLines();
        if (stage == 2) state.PauseTiming();
        if (stage == 3) state.ResumeTiming();
        if (stage == 3) eraser.reconnectStrokes();
        if (stage == 3) state.PauseTiming();
        pieces = sig.horizontalGroups().size();
        sig.freeComponentMap();
        document.Release();
        state.ResumeTiming();
    }
    static const char* const kNames[] = {"detection", "detection with labels", "erasure (reconstruction on)",
                                         "reconnection"};
    state.SetLabel(std::string(traced ? "traced rules, " : "edge search, ") + kNames[stage] + ", " +
                   std::to_string(pieces) + " pieces");
}

BENCHMARK(Stages)
    ->ArgNames({"stage", "detection"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
