// crop_quality: how well border removal works on synthetic 1-bit scans with a black frame of
// known shape, for our crop (CROPBLACK, in process) beside unpaper and ImageMagick.
//
//   crop_quality [WORKDIR]      # WORKDIR (default /tmp/leafmend-crop-quality) holds the files
//   crop_quality frame IN OUT   # paints the uneven frame (below) on page IN, writes OUT (bench/peers)
//
// Each page is a 300-dpi A4 text page (tools/synthpage) with a black frame painted over its outer
// band: left 60, top 50, right 70, bottom 55 pixels, then made uneven (a slow wave of +-10 pixels,
// a tilt adding up to 25 pixels along each side, a ragged inner edge of +-3 pixels) and, on the
// noisy page, 3 % white specks inside the frame. The frame never reaches the text, except on the
// last page, where the right side is moved in until its inner edge runs up to 6 pixels into the
// ends of the longest lines (text pixels under the frame count as frame). Per tool:
//   border removed  black frame pixels cut away or turned white, share of all black frame pixels
//   text lost       black text pixels cut away or turned white, share of all black text pixels
//   black left      frame pixels still black (count)
// Tools: our Crop with CROPBLACK 1 and BORDERSENSITIVITY 0 (default) and 5, each with the row-end
// whitening (BORDERFILL 0) and the frame fill (BORDERFILL 1); unpaper's black filter
// alone and with its border scan (every other filter, deskew and centring off, so pixels stay in
// place; unpaper whitens, it does not cut); ImageMagick
// -fuzz 50% -trim (the trim box from %@) and a white flood fill from two opposite corners.
#include "image/CSnowImage.h"
#include "processes/cleanup/CCropImage.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

// Top-down 1-bit pixels, 1 = white.
struct Grid {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Grid FromPix(Pix* source) {
    Pix* binary = pixGetDepth(source) == 1 ? pixClone(source) : pixConvertTo1(source, 128);
    Grid grid{static_cast<int>(pixGetWidth(binary)), static_cast<int>(pixGetHeight(binary)), {}};
    grid.pixels.resize(static_cast<std::size_t>(grid.width) * grid.height);
    const l_uint32* data = pixGetData(binary);
    const int wpl = pixGetWpl(binary);
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x)
            grid.at(x, y) = GET_DATA_BIT(data + static_cast<std::size_t>(y) * wpl, x) ? 0 : 1;
    pixDestroy(&binary);
    return grid;
}

Pix* ToPix(const Grid& grid) {
    Pix* pix = pixCreate(grid.width, grid.height, 1);
    l_uint32* data = pixGetData(pix);
    const int wpl = pixGetWpl(pix);
    for (int y = 0; y < grid.height; ++y)
        for (int x = 0; x < grid.width; ++x)
            if (!grid.at(x, y)) SET_DATA_BIT(data + static_cast<std::size_t>(y) * wpl, x);
    pixSetResolution(pix, 300, 300);
    return pix;
}

struct FrameShape {
    const char* name;
    int wave;       // amplitude of the slow wave
    int tilt;       // added along each side, 0 at one end
    int ragged;     // per-line jitter of the inner edge
    double holes;   // share of frame pixels left white
    int touch = 0;  // > 0: the right side reaches this far into the text's rightmost columns
};

// Rightmost column holding a black pixel, or -1.
int RightmostBlack(const Grid& page) {
    for (int x = page.width - 1; x >= 0; --x)
        for (int y = 0; y < page.height; ++y)
            if (!page.at(x, y)) return x;
    return -1;
}

// Paints the frame; `frame` marks its black pixels.
void PaintFrame(Grid& page, const FrameShape& shape, std::vector<std::uint8_t>& frame) {
    std::mt19937 random(17);
    std::uniform_int_distribution<int> jitter(-shape.ragged, shape.ragged);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int w = page.width, h = page.height;
    auto edge = [&](int base, int along, int length, double phase) {
        const double wave = shape.wave * std::sin(2.0 * M_PI * along / 900.0 + phase);
        return base + static_cast<int>(std::lround(wave)) + shape.tilt * along / length +
               (shape.ragged ? jitter(random) : 0);
    };
    std::vector<int> left(h), right(h), top(w), bottom(w);
    // Touching: the right side's inner edge, tilt and wave included, stays
    // within `touch` pixels of the text's right end.
    const int rightBase = shape.touch > 0 ? w - RightmostBlack(page) + shape.touch - shape.tilt - shape.wave : 70;
    for (int y = 0; y < h; ++y) {
        left[y] = edge(60, y, h, 0.3);
        right[y] = edge(rightBase, h - 1 - y, h, 1.1);
    }
    for (int x = 0; x < w; ++x) {
        top[x] = edge(50, w - 1 - x, w, 2.0);
        bottom[x] = edge(55, x, w, 2.9);
    }
    frame.assign(page.pixels.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inFrame = x < left[y] || x >= w - right[y] || y < top[x] || y >= h - bottom[x];
            if (!inFrame) continue;
            const bool hole = shape.holes > 0 && unit(random) < shape.holes;
            page.at(x, y) = hole ? 1 : 0;
            frame[static_cast<std::size_t>(y) * w + x] = hole ? 0 : 1;
        }
}

// Where an output pixel came from: the output is the input cut to a box (or the same size).
struct Outcome {
    Grid result;
    int left = 0, top = 0;  // offset of the result in the input
    bool ok = true;
};

struct Score {
    double borderRemoved = 0, textLost = 0;
    long long blackLeft = 0;
};

Score Measure(const Grid& input, const std::vector<std::uint8_t>& frame, const Outcome& outcome) {
    long long frameTotal = 0, frameGone = 0, textTotal = 0, textGone = 0;
    for (int y = 0; y < input.height; ++y)
        for (int x = 0; x < input.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * input.width + x;
            const bool isFrame = frame[i] != 0;
            const bool isText = !isFrame && !input.pixels[i];
            if (!isFrame && !isText) continue;
            const int ox = x - outcome.left, oy = y - outcome.top;
            const bool kept = ox >= 0 && oy >= 0 && ox < outcome.result.width && oy < outcome.result.height &&
                              !outcome.result.at(ox, oy);
            if (isFrame) {
                ++frameTotal;
                frameGone += !kept;
            } else {
                ++textTotal;
                textGone += !kept;
            }
        }
    return {100.0 * frameGone / std::max(frameTotal, 1LL), 100.0 * textGone / std::max(textTotal, 1LL),
            frameTotal - frameGone};
}

Outcome OurCrop(const Grid& input, int sensitivity, int borderFill = CCropImage::kWhitenRowEnds) {
    const int handle = ImageWrapper::create_handle_from_scratch(input.width, input.height, 1);
    ImageWrapper::set_resolution(handle, 300, 300);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(input.width, 1);
    for (int y = 0; y < input.height; ++y) {
        std::uint8_t* row = dib::Bits(dib) + stride * static_cast<std::size_t>(input.height - 1 - y);
        for (int x = 0; x < input.width; ++x)
            if (!input.at(x, y)) row[x / 8] = static_cast<std::uint8_t>(row[x / 8] & ~(0x80 >> (x % 8)));
    }
    Outcome outcome;
    {
        CCropImage crop(nullptr, nullptr);
        crop.attach(handle, true);
        crop.setModes(1, 0, 0);
        crop.setSensitivity(sensitivity);
        crop.setBorderFill(borderFill);
        crop.run();
        outcome.left = std::max(crop.left(), 0);
        outcome.top = std::max(crop.top(), 0);
        crop.detach();
    }
    dib = ImageWrapper::get_raw_dib(handle);
    outcome.result.width = dib->biWidth;
    outcome.result.height = dib->biHeight;
    outcome.result.pixels.resize(static_cast<std::size_t>(dib->biWidth) * dib->biHeight);
    const std::size_t outStride = dib::Stride(dib->biWidth, 1);
    for (int y = 0; y < dib->biHeight; ++y) {
        const std::uint8_t* row = dib::Bits(dib) + outStride * static_cast<std::size_t>(dib->biHeight - 1 - y);
        for (int x = 0; x < dib->biWidth; ++x) outcome.result.at(x, y) = (row[x / 8] >> (7 - x % 8)) & 1;
    }
    ImageWrapper::delete_bitmap(handle);
    return outcome;
}

Outcome ReadBack(const std::string& path, const Grid& input) {
    Outcome outcome;
    Pix* pix = pixRead(path.c_str());
    if (!pix) {
        outcome.ok = false;
        return outcome;
    }
    outcome.result = FromPix(pix);
    pixDestroy(&pix);
    outcome.ok = outcome.result.width == input.width && outcome.result.height == input.height;
    return outcome;
}

bool Run(const std::string& command) { return std::system((command + " 2> /dev/null").c_str()) == 0; }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "frame") {
        Pix* pix = pixRead(argv[2]);
        if (!pix) return 1;
        Grid page = FromPix(pix);
        pixDestroy(&pix);
        std::vector<std::uint8_t> frame;
        PaintFrame(page, {"uneven frame", 10, 25, 3, 0.0}, frame);
        Pix* out = ToPix(page);
        const std::string path = argv[3];
        const bool tiff = path.size() > 4 && path.substr(path.size() - 4) == ".tif";
        const int status = pixWrite(argv[3], out, tiff ? IFF_TIFF_G4 : IFF_PNG);
        pixDestroy(&out);
        return status == 0 ? 0 : 1;
    }
    const std::string work = argc > 1 ? argv[1] : "/tmp/leafmend-crop-quality";
    std::filesystem::create_directories(work);
    using namespace leafmend::synthpage;
    Pix* rendered = RenderPage(PageOptions::A4(300));
    const Grid page = FromPix(rendered);
    pixDestroy(&rendered);

    const FrameShape shapes[] = {{"even frame", 0, 0, 0, 0.0},
                                 {"uneven frame", 10, 25, 3, 0.0},
                                 {"uneven, 3 % holes", 10, 25, 3, 0.03},
                                 {"text touching", 10, 25, 3, 0.0, 6}};
    const std::string in = work + "/in", convert = "/usr/bin/convert";
    std::printf("Border removal on a 300-dpi A4 page (2480 x 3508) with a black frame of 50-70 pixels.\n");
    std::printf("%-20s %-44s %15s %10s %12s\n", "page", "tool", "border removed", "text lost", "black left");
    for (const FrameShape& shape : shapes) {
        Grid input = page;
        std::vector<std::uint8_t> frame;
        PaintFrame(input, shape, frame);
        Pix* pix = ToPix(input);
        pixWrite((in + ".pbm").c_str(), pix, IFF_PNM);
        pixWrite((in + ".png").c_str(), pix, IFF_PNG);
        pixDestroy(&pix);

        std::vector<std::pair<std::string, Outcome>> outcomes;
        outcomes.emplace_back("leafmend Crop CROPBLACK=1 (sensitivity 0)", OurCrop(input, 0));
        outcomes.emplace_back("leafmend Crop CROPBLACK=1 BORDERSENSITIVITY=5", OurCrop(input, 5));
        outcomes.emplace_back("leafmend Crop CROPBLACK=1 BORDERFILL=1", OurCrop(input, 0, CCropImage::kFillFrame));
        outcomes.emplace_back("leafmend ... BORDERFILL=1 BORDERSENSITIVITY=5",
                              OurCrop(input, 5, CCropImage::kFillFrame));
        const std::string off =
            " --no-noisefilter --no-blurfilter --no-grayfilter --no-mask-scan --no-mask-center --no-deskew"
            " --no-wipe --no-border --no-border-scan --no-border-align";
        const std::string unpaperOut = work + "/unpaper.pbm";
        Outcome u;
        u.ok = Run("unpaper -q --overwrite" + off + " " + in + ".pbm " + unpaperOut);
        if (u.ok) u = ReadBack(unpaperOut, input);
        outcomes.emplace_back("unpaper black filter alone", u);
        const std::string scan =
            " --no-noisefilter --no-blurfilter --no-grayfilter --no-mask-scan --no-mask-center --no-deskew"
            " --no-wipe --no-border --no-border-align";
        u = Outcome{};
        u.ok = Run("unpaper -q --overwrite" + scan + " " + in + ".pbm " + unpaperOut);
        if (u.ok) u = ReadBack(unpaperOut, input);
        outcomes.emplace_back("unpaper black filter + border scan", u);

        Outcome trim;
        const std::string box = work + "/trim.txt";
        Run(convert + " " + in + ".png -fuzz 50% -format %@ info: > " + box);
        if (FILE* f = std::fopen(box.c_str(), "r")) {
            int bw = 0, bh = 0, bx = 0, by = 0;
            trim.ok = std::fscanf(f, "%dx%d+%d+%d", &bw, &bh, &bx, &by) == 4;
            std::fclose(f);
            if (trim.ok) {
                trim.left = bx;
                trim.top = by;
                trim.result.width = bw;
                trim.result.height = bh;
                trim.result.pixels.resize(static_cast<std::size_t>(bw) * bh);
                for (int y = 0; y < bh; ++y)
                    for (int x = 0; x < bw; ++x) trim.result.at(x, y) = input.at(x + bx, y + by);
            }
        }
        outcomes.emplace_back("ImageMagick -fuzz 50% -trim", trim);
        const std::string floodOut = work + "/flood.png";
        Outcome flood;
        flood.ok =
            Run(convert + " " + in + ".png -fuzz 50% -fill white -draw 'color 0,0 floodfill' -draw 'color " +
                std::to_string(input.width - 1) + "," + std::to_string(input.height - 1) + " floodfill' " + floodOut);
        if (flood.ok) flood = ReadBack(floodOut, input);
        outcomes.emplace_back("ImageMagick -fuzz 50% flood fill white", flood);

        for (const auto& [tool, outcome] : outcomes) {
            if (!outcome.ok) {
                std::printf("%-20s %-44s %15s\n", shape.name, tool.c_str(), "failed");
                continue;
            }
            const Score score = Measure(input, frame, outcome);
            std::printf("%-20s %-44s %14.2f%% %9.3f%% %12lld\n", shape.name, tool.c_str(), score.borderRemoved,
                        score.textLost, score.blackLeft);
        }
    }
    return 0;
}
