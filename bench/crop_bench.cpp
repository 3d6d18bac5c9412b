// Crop on a 300-dpi A4 text page (2480 x 3508, 1 bit), on a fresh copy each time:
// border detection and cut of a black frame (50-88 pixels, uneven) followed by
// the whitening of what is left (row ends), or preceded by the frame fill
// (BORDERFILL 1; also on the plain page, where it finds nothing), detection of the white margins of the plain
// page, and the worst case for detection, a blank page (every scan runs to the middle).
#include "bench/BenchPages.h"
#include "processes/cleanup/CCropImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// An uneven black frame: each side 50-70 pixels plus a wave of +-10 and a tilt of up to 25.
void PaintFrame(BITMAPINFOHEADER* dib) {
    const int w = dib->biWidth, h = dib->biHeight;
    const std::size_t stride = dib::Stride(w, 1);
    auto side = [](int base, int along, int length) {
        return base + static_cast<int>(10 * std::sin(along / 140.0)) + 25 * along / length;
    };
    std::vector<int> top(static_cast<std::size_t>(w)), bottom(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) {
        top[static_cast<std::size_t>(x)] = side(50, w - 1 - x, w);
        bottom[static_cast<std::size_t>(x)] = side(55, x, w);
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = dib::Bits(dib) + stride * static_cast<std::size_t>(h - 1 - y);
        const int left = side(60, y, h), right = side(70, h - 1 - y, h);
        for (int x = 0; x < w; ++x) {
            const bool frame = x < left || x >= w - right || y < top[static_cast<std::size_t>(x)] ||
                               y >= h - bottom[static_cast<std::size_t>(x)];
            if (frame) row[x / 8] = static_cast<std::uint8_t>(row[x / 8] & ~(0x80 >> (x % 8)));
        }
    }
}

enum Page { kFramed, kPlain, kBlank };

// args: page, crop black (1) or white (0), border fill (CCropImage::kWhitenRowEnds or kFillFrame)
void CropPage(benchmark::State& state) {
    const Page kind = static_cast<Page>(state.range(0));
    const bool black = state.range(1) != 0;
    const int fill = static_cast<int>(state.range(2));
    for (auto _ : state) {
        state.PauseTiming();
        CComPtr<CZRDocument> document = BenchDocument(1);
        int handle = document->Pages()[0]->Image()->Handle();
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        if (kind == kFramed) PaintFrame(dib);
        if (kind == kBlank) {
            std::memset(dib::Bits(dib), 0xFF, dib::Stride(dib->biWidth, 1) * static_cast<std::size_t>(dib->biHeight));
        }
        ImageWrapper::set_resolution(handle, 300, 300);
        state.ResumeTiming();
        CCropImage crop(nullptr, nullptr);
        crop.attach(handle, true);
        crop.setModes(black ? 1 : 0, black ? 0 : 1, 0);
        crop.setSensitivity(5);
        crop.setBorderFill(fill);
        benchmark::DoNotOptimize(crop.run());
        crop.detach();
        state.PauseTiming();
        document.Release();
        state.ResumeTiming();
    }
}

BENCHMARK(CropPage)
    ->Args({kFramed, 1, CCropImage::kWhitenRowEnds})
    ->Args({kFramed, 1, CCropImage::kFillFrame})
    ->Args({kPlain, 1, CCropImage::kFillFrame})
    ->Args({kPlain, 0, CCropImage::kWhitenRowEnds})
    ->Args({kBlank, 0, CCropImage::kWhitenRowEnds})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
