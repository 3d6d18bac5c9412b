// Quality of the tone processes against known ground truth, beside open
// peers. Prints two tables:
//
//  1. Thresholding: synthetic A5 text pages at 300 dpi (tools/synthpage),
//     grey and colour, under even light, a light gradient, a book-gutter
//     shadow, low contrast and on coloured paper. For each method, precision
//     and recall of black against the clean rendered text (a pixel is text
//     when the noise-free render is darker than 128) and their harmonic mean
//     F1. Ours: the global threshold, edge filter + global threshold, and the
//     local box threshold, with the process defaults and run as the
//     whole-page process runs them. Peers: ImageMagick "-threshold 50%" and
//     "-lat 31x31-5%" (/usr/bin/convert, skipped when missing), Leptonica's
//     Otsu (one tile for the page), Otsu on a background-normalised page, and
//     Sauvola (half-window 12, k = 0.34).
//  2. Deshade: 1-bit A5 pages at 300 dpi whose lower half lies on an
//     error-diffused grey shade of several levels. Share of the shade's dots
//     removed, share of the text pixels kept inside the shade and outside it.
//
//   tone_quality [--quick]     (--quick: two pages per table)
#include "image/PixelImage.h"
#include "platform/imagelib/ImageWrapper.h"
#include "processes/tone/DeshadeEngine.h"
#include "processes/tone/ThresholdEngine.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace leafmend::synthpage;

// One bit per pixel, row 0 at the top: true = black.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> black;
    bool at(int x, int y) const { return black[static_cast<std::size_t>(y) * width + x] != 0; }
};

struct Score {
    double precision = 0, recall = 0, f1 = 0;
};

Score Compare(const Mask& truth, const Mask& result) {
    long long tp = 0, fp = 0, fn = 0;
    for (std::size_t i = 0; i < truth.black.size(); ++i) {
        const bool t = truth.black[i] != 0;
        const bool r = result.black[i] != 0;
        tp += t && r;
        fp += !t && r;
        fn += t && !r;
    }
    Score s;
    s.precision = tp + fp ? static_cast<double>(tp) / static_cast<double>(tp + fp) : 0;
    s.recall = tp + fn ? static_cast<double>(tp) / static_cast<double>(tp + fn) : 0;
    s.f1 = s.precision + s.recall > 0 ? 2 * s.precision * s.recall / (s.precision + s.recall) : 0;
    return s;
}

// A 1-bit Pix (1 = black, Leptonica's convention) as a mask.
Mask FromPix1(Pix* pix) {
    Mask m;
    m.width = static_cast<int>(pixGetWidth(pix));
    m.height = static_cast<int>(pixGetHeight(pix));
    m.black.resize(static_cast<std::size_t>(m.width) * m.height);
    const l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x)
            m.black[static_cast<std::size_t>(y) * m.width + x] = GET_DATA_BIT(data + y * wpl, x);
    return m;
}

// A 1-bit page of ours (set bit = white) as a mask.
Mask FromPixelImage(const PixelImage& image) {
    Mask m;
    m.width = image.width();
    m.height = image.height();
    m.black.resize(static_cast<std::size_t>(m.width) * m.height);
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) m.black[static_cast<std::size_t>(y) * m.width + x] = !image.isWhite(x, y);
    return m;
}

// Multiplies every channel of an 8- or 32-bit Pix by light(x, y).
void Light(Pix* pix, const std::function<double(double, double)>& light) {
    const int w = static_cast<int>(pixGetWidth(pix));
    const int h = static_cast<int>(pixGetHeight(pix));
    const int depth = static_cast<int>(pixGetDepth(pix));
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            const double f = light(static_cast<double>(x) / w, static_cast<double>(y) / h);
            if (depth == 8) {
                SET_DATA_BYTE(line, x, static_cast<int>(GET_DATA_BYTE(line, x) * f));
            } else {
                l_int32 r, g, b;
                extractRGBValues(line[x], &r, &g, &b);
                composeRGBPixel(static_cast<int>(r * f), static_cast<int>(g * f), static_cast<int>(b * f), &line[x]);
            }
        }
    }
}

// Maps grey levels (every channel) from 0..255 onto low..high.
void Compress(Pix* pix, int low, int high) {
    const int w = static_cast<int>(pixGetWidth(pix));
    const int h = static_cast<int>(pixGetHeight(pix));
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    auto map = [&](int v) { return low + v * (high - low) / 255; };
    for (int y = 0; y < h; ++y) {
        l_uint32* line = data + y * wpl;
        for (int x = 0; x < w; ++x) {
            if (pixGetDepth(pix) == 8) {
                SET_DATA_BYTE(line, x, map(static_cast<int>(GET_DATA_BYTE(line, x))));
            } else {
                l_int32 r, g, b;
                extractRGBValues(line[x], &r, &g, &b);
                composeRGBPixel(map(r), map(g), map(b), &line[x]);
            }
        }
    }
}

struct GreyPage {
    std::string name;
    int depth;  // 8 or 32
    std::uint32_t paper;
    std::function<void(Pix*)> defect;
};

double Gradient(double x, double y) { return 1.0 - 0.5 * x - 0.15 * y; }
double Shadow(double x, double) {
    const double t = std::min(1.0, x / 0.25);
    return 0.3 + 0.7 * t * t * (3 - 2 * t);
}

std::vector<GreyPage> ThresholdPages() {
    return {
        {"grey, even light", 8, 0xffffff, nullptr},
        {"grey, light gradient 100-35%", 8, 0xffffff, [](Pix* p) { Light(p, Gradient); }},
        {"grey, gutter shadow to 30%", 8, 0xffffff, [](Pix* p) { Light(p, Shadow); }},
        {"grey, low contrast 90-170", 8, 0xffffff, [](Pix* p) { Compress(p, 90, 170); }},
        {"colour, cream paper", 32, 0xf2dca0, nullptr},
        {"colour, blue paper", 32, 0x9cbce6, nullptr},
        {"colour, cream paper, gradient", 32, 0xf2dca0, [](Pix* p) { Light(p, Gradient); }},
        {"colour, blue paper, shadow", 32, 0x9cbce6, [](Pix* p) { Light(p, Shadow); }},
    };
}

PageOptions BaseOptions() {
    PageOptions o = PageOptions::A5(300);
    o.heading = "Tone test page";
    return o;
}

// The page in the form our processes get it: through a PNG file into the image library.
int LoadHandle(Pix* pix, const std::string& path) {
    pixWrite(path.c_str(), pix, IFF_PNG);
    return imagefile::LoadPage(path, 0);
}

// The grey-level threshold our global method chose on the last page (for the table's notes).
int lastGlobalThreshold = 0;

Mask RunOurs(int handle, int method) {
    PixelImage source(ImageWrapper::get_raw_dib(handle));
    PixelImage destination(source.width(), source.height(), 1, true);
    const ToneRect page{0, source.width(), 0, source.height()};
    if (method == 0) {
        ThresholdEngine::applyGlobalThreshold(source, destination, page, 0);
        lastGlobalThreshold = source.bitCount() == 8 ? source.whiteThreshold() : source.whiteThreshold() / 3;
    } else if (method == 1) {
        PixelImage edges(source.width(), source.height(), 8, true);
        ThresholdEngine::applyEdgeFilter(source, edges, page);
        ThresholdEngine::applyGlobalThreshold(edges, destination, page, 0);
    } else {
        ThresholdEngine::applyLocalThreshold(source, destination, page, 20, -1, 0);
    }
    return FromPixelImage(destination);
}

// ImageMagick on the PNG; an empty mask when it is missing or fails.
Mask RunMagick(const std::string& input, const std::string& operation, const std::string& work) {
    if (access("/usr/bin/convert", X_OK) != 0) return {};
    const std::string out = work + "/magick.pbm";
    const std::string command =
        "/usr/bin/convert '" + input + "' -colorspace Gray " + operation + " '" + out + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    Pix* pix = pixRead(out.c_str());
    if (!pix) return {};
    Mask m = FromPix1(pix);
    pixDestroy(&pix);
    return m;
}

Mask RunLeptonica(Pix* page, int method) {
    Pix* grey = pixGetDepth(page) == 32 ? pixConvertRGBToLuminance(page) : pixClone(page);
    Pix* binary = nullptr;
    if (method == 0) {
        pixOtsuAdaptiveThreshold(grey, pixGetWidth(grey), pixGetHeight(grey), 0, 0, 0.1f, nullptr, &binary);
    } else if (method == 1) {
        binary = pixOtsuThreshOnBackgroundNorm(grey, nullptr, 10, 15, 100, 50, 255, 2, 2, 0.1f, nullptr);
    } else {
        pixSauvolaBinarize(grey, 12, 0.34f, 1, nullptr, nullptr, nullptr, &binary);
    }
    pixDestroy(&grey);
    Mask m;
    if (binary) {
        m = FromPix1(binary);
        pixDestroy(&binary);
    }
    return m;
}

void ThresholdTable(bool quick, const std::string& work) {
    const char* methods[] = {"ours global",      "ours edge+global", "ours local",        "IM -threshold 50%",
                             "IM -lat 31x31-5%", "Lept Otsu",        "Lept Otsu+bg norm", "Lept Sauvola"};
    std::printf("Thresholding: precision / recall / F1 of black against the clean text (A5, 300 dpi)\n\n");
    std::printf("%-38s", "page [our global threshold]");
    for (const char* m : methods) std::printf(" | %-20s", m);
    std::printf("\n");
    std::vector<GreyPage> pages = ThresholdPages();
    if (quick) pages = {pages[1], pages[6]};
    for (const GreyPage& pageKind : pages) {
        PageOptions clean = BaseOptions();
        clean.depth = 8;
        Pix* truthPix = RenderPage(clean);
        Mask truth;
        truth.width = static_cast<int>(pixGetWidth(truthPix));
        truth.height = static_cast<int>(pixGetHeight(truthPix));
        truth.black.resize(static_cast<std::size_t>(truth.width) * truth.height);
        for (int y = 0; y < truth.height; ++y)
            for (int x = 0; x < truth.width; ++x) {
                l_uint32 v = 0;
                pixGetPixel(truthPix, x, y, &v);
                truth.black[static_cast<std::size_t>(y) * truth.width + x] = v < 128;
            }
        pixDestroy(&truthPix);

        PageOptions o = BaseOptions();
        o.depth = pageKind.depth;
        o.paperColor = pageKind.paper;
        o.noiseSigma = 8;
        o.blur = 1;
        Pix* page = RenderPage(o);
        if (pageKind.defect) pageKind.defect(page);
        const std::string png = work + "/page.png";
        const int handle = LoadHandle(page, png);

        std::vector<Mask> results;
        for (int m = 0; m < 3; ++m) results.push_back(RunOurs(handle, m));
        results.push_back(RunMagick(png, "-threshold 50%", work));
        results.push_back(RunMagick(png, "-lat 31x31-5%", work));
        for (int m = 0; m < 3; ++m) results.push_back(RunLeptonica(page, m));
        ImageWrapper::delete_bitmap(handle);
        pixDestroy(&page);

        std::printf("%-38s", (pageKind.name + " [t=" + std::to_string(lastGlobalThreshold) + "]").c_str());
        for (const Mask& r : results) {
            if (r.black.size() != truth.black.size()) {
                std::printf(" | %-20s", "n/a");
                continue;
            }
            const Score s = Compare(truth, r);
            char cell[64];
            std::snprintf(cell, sizeof cell, "%.3f/%.3f/%.3f", s.precision, s.recall, s.f1);
            std::printf(" | %-20s", cell);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("\n");
}

void DeshadeTable(bool quick, const std::string& work) {
    std::printf("Deshade: 1-bit A5 at 300 dpi, lower half on an error-diffused shade\n\n");
    std::printf("%-12s | %-10s | %-14s | %-18s | %-19s | %-14s\n", "shade level", "dot share", "dots removed",
                "text kept in shade", "text kept elsewhere", "other changes");
    std::vector<int> levels = {230, 200, 170, 140, 110};
    if (quick) levels = {200, 140};
    PageOptions clean = BaseOptions();
    clean.depth = 1;
    Pix* cleanPix = RenderPage(clean);
    const Mask text = FromPix1(cleanPix);
    pixDestroy(&cleanPix);
    const Rect shadeRect{0, clean.height / 2, clean.width, clean.height / 2};
    for (int level : levels) {
        PageOptions o = clean;
        o.shade = ShadedBox{shadeRect, level, 0};
        Pix* shaded = RenderPage(o);
        const Mask before = FromPix1(shaded);
        const int handle = LoadHandle(shaded, work + "/shaded.png");
        pixDestroy(&shaded);
        BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
        DeshadeEngine engine;
        engine.load(dib);
        engine.run();
        const Mask after = FromPixelImage(PixelImage(dib));
        ImageWrapper::delete_bitmap(handle);

        long long dots = 0, dotsRemoved = 0, textIn = 0, textInKept = 0, textOut = 0, textOutKept = 0, other = 0,
                  shadePixels = 0;
        for (int y = 0; y < text.height; ++y)
            for (int x = 0; x < text.width; ++x) {
                const bool inShade = y >= shadeRect.y;
                const bool isText = text.at(x, y);
                shadePixels += inShade;
                if (isText) {
                    (inShade ? textIn : textOut) += 1;
                    (inShade ? textInKept : textOutKept) += after.at(x, y);
                } else if (before.at(x, y)) {
                    ++dots;
                    dotsRemoved += !after.at(x, y);
                } else {
                    other += after.at(x, y);
                }
            }
        auto pct = [](long long a, long long b) {
            return b ? 100.0 * static_cast<double>(a) / static_cast<double>(b) : 0.0;
        };
        std::printf("%-12d | %9.1f%% | %13.1f%% | %17.1f%% | %18.1f%% | %14lld\n", level, pct(dots, shadePixels),
                    pct(dotsRemoved, dots), pct(textInKept, textIn), pct(textOutKept, textOut), other);
        std::fflush(stdout);
    }
    std::printf(
        "\n(dot share: black non-text pixels of the shaded half before deshade; other changes: pixels\n"
        "white before and black after)\n");
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    char work[] = "/tmp/leafmend-tone-quality.XXXXXX";
    if (!mkdtemp(work)) return 1;
    ThresholdTable(quick, work);
    DeshadeTable(quick, work);
    std::system(("rm -rf '" + std::string(work) + "'").c_str());
    return 0;
}
