// The Leptonica column of bench/peers: times Leptonica's own skew and speck operations on a page,
// in process (no program start, no file decoding inside the timed part), and makes the speckled
// pages that bench/peers feeds to every tool.
//
//   peers_leptonica speckle IN OUT [COUNT] [SEED]
//     Adds COUNT (default 1500) isolated black square specks of 1, 2 and 3 pixels to IN and writes
//     OUT (format from OUT's extension; 1-bit TIFF is written G4). A speck is placed only where a
//     square of 6 free pixels around it holds no ink and no other speck, so every speck is a
//     component of its own that a size-3 speck filter removes and nothing else does.
//   peers_leptonica time IN OUT [RUNS] [SIZE]
//     Reads IN once and prints one line per measurement, "NAME MEDIAN_MS [DETAILS]", each the median
//     of RUNS (default 5) repetitions:
//       io         pixRead of IN plus pixWrite of OUT in OUT's format (the no-op a command pays)
//       findskew   pixFindSkew (8- and 24-bit pages: pixConvertTo1 at 130 first); angle, confidence
//       deskew     pixDeskew: binarize if needed, find the skew, rotate the page; OUT gets the result
//       despeckle  removal of 4-connected components (as our Despeckle fills) whose bounding box
//                  is at most SIZE (default 3) pixels on both sides: pixSelectBySize keeping the
//                  components wider or taller than SIZE. 8- and 24-bit pages: binarize at 130,
//                  select the small components the same way and paint them white through that
//                  mask (on a copy made outside the timed part).
//       otsu       8- and 24-bit pages: grey by luminance, then pixOtsuAdaptiveThreshold with one
//                  tile covering the page (a global Otsu threshold); black pixels of the result
//       sauvola    8- and 24-bit pages: grey by luminance, then pixSauvolaBinarize, half-window
//                  12, k = 0.34 (a local threshold); black pixels of the result
//   peers_leptonica job IN OUT [SIZE]
//     The main job's nearest Leptonica pipeline as one program run, timed from outside (with its
//     peak memory) by bench/peers: read IN; grey and colour pages to grey by luminance and
//     black and white by Sauvola (as above); pixDeskew; drop 4-connected components at most SIZE
//     (default 1) pixels both ways; write OUT (1-bit: G4 TIFF or PNG by OUT's extension).
#include <leptonica/allheaders.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct PixOwner {
    Pix* pix = nullptr;
    explicit PixOwner(Pix* p = nullptr) : pix(p) {}
    PixOwner(const PixOwner&) = delete;
    PixOwner& operator=(const PixOwner&) = delete;
    ~PixOwner() { pixDestroy(&pix); }
};

Pix* ReadPage(const char* path) {
    Pix* pix = pixRead(path);
    if (!pix) {
        std::fprintf(stderr, "peers_leptonica: cannot read %s\n", path);
        std::exit(1);
    }
    if (pixGetColormap(pix)) {
        Pix* plain = pixRemoveColormap(pix, REMOVE_CMAP_BASED_ON_SRC);
        pixDestroy(&pix);
        pix = plain;
    }
    return pix;
}

void WritePage(const char* path, Pix* pix) {
    if (pixWriteImpliedFormat(path, pix, 0, 0) != 0) {
        std::fprintf(stderr, "peers_leptonica: cannot write %s\n", path);
        std::exit(1);
    }
}

// Leptonica's binary view of a page: 1 = ink.
Pix* InkOf(Pix* page) { return pixGetDepth(page) == 1 ? pixClone(page) : pixConvertTo1(page, 130); }

// Median wall time in milliseconds of `runs` calls of `body`; `prepare` runs untimed before each.
double MedianMs(int runs, const std::function<void()>& body, const std::function<void()>& prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

int Speckle(const char* in, const char* out, int count, unsigned seed) {
    PixOwner page(ReadPage(in));
    PixOwner ink(InkOf(page.pix));
    const int width = pixGetWidth(page.pix);
    const int height = pixGetHeight(page.pix);
    const int clearance = 6;
    const int sizes[] = {1, 2, 3};
    // 1-bit: set = black; grey and colour: all bits clear = black.
    const int paint = pixGetDepth(page.pix) == 1 ? PIX_SET : PIX_CLR;
    std::mt19937 random(seed);
    int placed = 0;
    for (long attempt = 0; placed < count && attempt < 100L * count; ++attempt) {
        const int size = sizes[placed % 3];
        const int span = size + 2 * clearance;
        const int x = clearance + static_cast<int>(random() % static_cast<unsigned>(width - span));
        const int y = clearance + static_cast<int>(random() % static_cast<unsigned>(height - span));
        Box* around = boxCreate(x - clearance, y - clearance, span, span);
        l_int32 inked = 1;
        pixCountPixelsInRect(ink.pix, around, &inked, nullptr);
        boxDestroy(&around);
        if (inked != 0) continue;
        pixRasterop(ink.pix, x, y, size, size, PIX_SET, nullptr, 0, 0);
        pixRasterop(page.pix, x, y, size, size, paint, nullptr, 0, 0);
        ++placed;
    }
    WritePage(out, page.pix);
    std::printf("specks %d\n", placed);
    return placed == count ? 0 : 1;
}

int Time(const char* in, const char* out, int runs, int size) {
    PixOwner page(ReadPage(in));
    const bool binary = pixGetDepth(page.pix) == 1;

    const double io = MedianMs(runs, [&] {
        PixOwner read(ReadPage(in));
        WritePage(out, read.pix);
    });
    std::printf("io %.2f\n", io);

    l_float32 angle = 0, confidence = 0;
    const double find = MedianMs(runs, [&] {
        PixOwner ink(InkOf(page.pix));
        pixFindSkew(ink.pix, &angle, &confidence);
    });
    std::printf("findskew %.2f angle=%.2f confidence=%.2f\n", find, angle, confidence);

    PixOwner deskewed;
    const double deskew = MedianMs(runs, [&] {
        pixDestroy(&deskewed.pix);
        deskewed.pix = pixDeskew(page.pix, 0);
    });
    WritePage(out, deskewed.pix);
    std::printf("deskew %.2f\n", deskew);

    l_int32 changed = 0;
    PixOwner work;
    const double despeckle = MedianMs(
        runs,
        [&] {
            if (binary) {
                pixDestroy(&work.pix);
                work.pix =
                    pixSelectBySize(page.pix, size + 1, size + 1, 4, L_SELECT_IF_EITHER, L_SELECT_IF_GTE, &changed);
                return;
            }
            PixOwner ink(pixConvertTo1(work.pix, 130));
            PixOwner kept(
                pixSelectBySize(ink.pix, size + 1, size + 1, 4, L_SELECT_IF_EITHER, L_SELECT_IF_GTE, &changed));
            PixOwner small(pixXor(nullptr, ink.pix, kept.pix));
            pixPaintThroughMask(work.pix, small.pix, 0, 0, pixGetDepth(work.pix) == 32 ? 0xffffff00 : 0xff);
        },
        [&] {
            if (!binary) {
                pixDestroy(&work.pix);
                work.pix = pixCopy(nullptr, page.pix);
            }
        });
    // Black pixels removed, counted once more outside the timing.
    l_int32 before = 0, after = 0;
    {
        PixOwner inkBefore(InkOf(page.pix));
        PixOwner inkAfter(InkOf(work.pix));
        pixCountPixels(inkBefore.pix, &before, nullptr);
        pixCountPixels(inkAfter.pix, &after, nullptr);
    }
    std::printf("despeckle %.2f removed_pixels=%d\n", despeckle, before - after);

    if (!binary) {
        // Binarisations beside our dynamic thresholding: global and local.
        for (const bool local : {false, true}) {
            PixOwner result;
            const double ms = MedianMs(runs, [&] {
                PixOwner grey(pixGetDepth(page.pix) == 32 ? pixConvertRGBToLuminance(page.pix) : pixClone(page.pix));
                pixDestroy(&result.pix);
                if (local)
                    pixSauvolaBinarize(grey.pix, 12, 0.34f, 1, nullptr, nullptr, nullptr, &result.pix);
                else
                    pixOtsuAdaptiveThreshold(grey.pix, pixGetWidth(grey.pix), pixGetHeight(grey.pix), 0, 0, 0.1f,
                                             nullptr, &result.pix);
            });
            l_int32 black = 0;
            if (result.pix) pixCountPixels(result.pix, &black, nullptr);
            std::printf("%s %.2f black_pixels=%d\n", local ? "sauvola" : "otsu", ms, black);
        }
    }
    return 0;
}

int Job(const char* in, const char* out, int size) {
    PixOwner page(ReadPage(in));
    PixOwner binary;
    if (pixGetDepth(page.pix) == 1) {
        binary.pix = pixClone(page.pix);
    } else {
        PixOwner grey(pixGetDepth(page.pix) == 32 ? pixConvertRGBToLuminance(page.pix) : pixConvertTo8(page.pix, 0));
        pixSauvolaBinarize(grey.pix, 12, 0.34f, 1, nullptr, nullptr, nullptr, &binary.pix);
    }
    if (!binary.pix) return 1;
    PixOwner straight(pixDeskew(binary.pix, 0));
    l_int32 changed = 0;
    PixOwner clean(pixSelectBySize(straight.pix, size + 1, size + 1, 4, L_SELECT_IF_EITHER, L_SELECT_IF_GTE, &changed));
    WritePage(out, clean.pix);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setLeptDebugOK(0);
    setMsgSeverity(L_SEVERITY_WARNING);  // no "Info in pixRotate" lines
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "speckle" && argc >= 4) {
        return Speckle(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 1500,
                       argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 1u);
    }
    if (mode == "time" && argc >= 4) {
        return Time(argv[2], argv[3], std::max(1, argc > 4 ? std::atoi(argv[4]) : 5),
                    std::max(1, argc > 5 ? std::atoi(argv[5]) : 3));
    }
    if (mode == "job" && argc >= 4) return Job(argv[2], argv[3], std::max(0, argc > 4 ? std::atoi(argv[4]) : 1));
    std::fprintf(stderr,
                 "usage: peers_leptonica speckle IN OUT [COUNT] [SEED]\n"
                 "       peers_leptonica time IN OUT [RUNS] [SIZE]\n"
                 "       peers_leptonica job IN OUT [SIZE]\n");
    return 2;
}
