// The leafmend command's scaling with -j: the main job (Straighten,
// DynamicThresholding, Crop, Despeckle, LineRemoval as in jobs/clean.xml)
// over twelve 300-dpi A4 grey PNG files, and over one twelve-page grey TIFF,
// with one worker and with two. Each run is the built command (beside this
// program) as a separate process, timed by the wall clock; pages_per_s is the
// figure to compare (target: two workers at least 1.8 times one, on an
// otherwise idle two-core machine).
#include "bench/BenchPages.h"
#include "host/CZRImage.h"
#include "platform/imagelib/ImageWrapper.h"

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kPages = 12;

const fs::path& Folder() {
    static const fs::path folder = [] {
        const fs::path made = fs::temp_directory_path() / ("leafmend-batch-bench-" + std::to_string(::getpid()));
        fs::create_directories(made / "files");
        CComPtr<CZRDocument> document = BenchDocument(8);
        const int page = document->Pages()[0]->Image()->Handle();
        for (int i = 0; i < kPages; ++i)
            imagefile::SavePages((made / "files" / ("page" + std::to_string(i) + ".png")).string(), {page},
                                 ImageFileFormat::Png);
        imagefile::SavePages((made / "twelve.tif").string(), std::vector<int>(kPages, page), ImageFileFormat::Tiff);
        return made;
    }();
    return folder;
}

std::string Command() {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path() / "leafmend").string();
}

void RunBatch(benchmark::State& state, bool manyFiles) {
    const fs::path& folder = Folder();
    std::string inputs;
    if (manyFiles)
        for (int i = 0; i < kPages; ++i)
            inputs += " '" + (folder / "files" / ("page" + std::to_string(i) + ".png")).string() + "'";
    else
        inputs = " '" + (folder / "twelve.tif").string() + "'";
    const std::string command = Command() + " run -q -j " + std::to_string(state.range(0)) +
                                " -p Straighten -p 'DynamicThresholding LOCALTHRESH=1 CONTRASTSHIFT=110'"
                                " -p 'Crop CROPBLACK=1 BORDERSENSITIVITY=5' -p 'Despeckle SIZE=1 CHARPRESERVE=1'"
                                " -p 'LineRemoval MAXTHICKNESS=6 MINLENGTH=150 MAXGAP=10 RECONSTRUCTION=8'" +
                                inputs + " -o '" + (folder / "out").string() + "'";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("leafmend failed");
    }
    state.counters["pages_per_s"] = benchmark::Counter(
        static_cast<double>(kPages) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void TwelveGreyFiles(benchmark::State& state) { RunBatch(state, true); }
void TwelvePageGreyTiff(benchmark::State& state) { RunBatch(state, false); }

}  // namespace

BENCHMARK(TwelveGreyFiles)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(TwelvePageGreyTiff)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(Folder(), ec);
    return 0;
}
