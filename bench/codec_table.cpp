// Write time and size of one 300-dpi A4 page (2480 x 3508) per writer, in one
// run: our default ("fast") and "best" compression, Leptonica's pixWrite
// defaults and ImageMagick's convert with its defaults. Prints one table.
//
//   codec_table [RUNS]      (default 5; needs /usr/bin/convert for the
//                            ImageMagick rows, tiffinfo for the libtiff check)
//
// Pages (tools/synthpage): 1-bit, 8-bit grey and 24-bit colour text pages,
// each clean (as rendered) and scanned (a one-pixel blur, grain of sigma 3
// grey levels and tinted paper on the grey and colour pages).
//
// Measures, per page and writer, the median of RUNS:
//   ours       imagefile::SavePages from a decoded page (encode, write, rename)
//   Leptonica  pixWrite with IFF_PNG and IFF_TIFF (its defaults), and its
//              usual choice per kind: IFF_TIFF_G4 (1-bit), IFF_TIFF_ZIP
//   ImageMagick  `convert PAGE.pnm OUT` less `convert PAGE.pnm null:` (its
//              start and PNM decoding), so the cell is its encoder and write
// Every file we write is read back and compared pixel for pixel by Leptonica
// and by ImageMagick (`compare -metric AE`), TIFFs also decoded by tiffinfo -D;
// a mismatch is printed and the program fails.
#include "platform/imagelib/ImageWrapper.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace leafmend::synthpage;

constexpr const char* kConvert = "/usr/bin/convert";  // ImageMagick's own, whatever is first on PATH

double MedianMs(int runs, const std::function<void()>& body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Have(const char* program) { return ::access(program, X_OK) == 0; }

struct Row {
    std::string page, writer, format;
    double ms = -1;
    std::uintmax_t bytes = 0;
};

struct Page {
    std::string label;
    Pix* pix = nullptr;  // 1, 8 or 32 bpp
    int handle = -1;     // the same page in the image library
    std::string pnm;     // for ImageMagick
};

Page MakePage(const std::string& dir, int depth, bool scanned) {
    PageOptions options = PageOptions::A4(300);
    options.depth = depth;
    if (scanned && depth > 1) {
        options.blur = 1;
        options.noiseSigma = 3.0;
        options.paperColor = 0xf4f1e8;
    }
    Page page;
    page.label = std::string(depth == 1   ? "1-bit"
                             : depth == 8 ? "8-bit"
                                          : "24-bit") +
                 (scanned ? " scanned" : " clean");
    page.pix = RenderPage(options);
    pixSetResolution(page.pix, 300, 300);
    const std::string stem = dir + "/page" + std::to_string(depth) + (scanned ? "s" : "c");
    page.pnm = stem + ".pnm";
    pixWrite(page.pnm.c_str(), page.pix, IFF_PNM);
    // Into the image library through a lossless file of its own.
    const std::string png = stem + ".png";
    pixWrite(png.c_str(), page.pix, IFF_PNG);
    std::string error;
    page.handle = imagefile::LoadPage(png, 0, &error);
    if (page.handle < 0) std::fprintf(stderr, "codec_table: %s\n", error.c_str());
    return page;
}

// Leptonica and ImageMagick read `file` back as exactly `page`'s pixels.
bool ReadsBack(const Page& page, const std::string& file, bool tiff) {
    bool ok = true;
    Pix* read = pixRead(file.c_str());
    l_int32 same = 0;
    if (!read || pixEqual(read, page.pix, &same) != 0 || !same) {
        std::fprintf(stderr, "codec_table: Leptonica reads %s differently\n", file.c_str());
        ok = false;
    }
    pixDestroy(&read);
    if (Have(kConvert)) {
        const std::string compare = "/usr/bin/compare -metric AE '" + file + "' '" + page.pnm + "' null: 2>&1";
        FILE* out = ::popen(compare.c_str(), "r");
        char text[64] = {};
        if (out) {
            if (!std::fgets(text, sizeof text, out)) text[0] = 0;
            ::pclose(out);
        }
        if (std::atof(text) != 0.0 || text[0] != '0') {
            std::fprintf(stderr, "codec_table: ImageMagick reads %s differently (%s)\n", file.c_str(), text);
            ok = false;
        }
    }
    if (tiff && Have("/usr/bin/tiffinfo") && Shell("/usr/bin/tiffinfo -D '" + file + "' > /dev/null 2>&1") != 0) {
        std::fprintf(stderr, "codec_table: tiffinfo cannot decode %s\n", file.c_str());
        ok = false;
    }
    return ok;
}

std::string Format(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, ms < 0 ? "-" : ms < 100 ? "%.1f" : "%.0f", ms);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string dir = fs::temp_directory_path() / ("codec_table_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    imagefile::Compression fast, best;
    std::string error;
    imagefile::ParseCompression("best", &best, &error);

    std::vector<Row> rows;
    bool allRead = true;
    for (const int depth : {1, 8, 32}) {
        for (const bool scanned : {false, true}) {
            if (depth == 1 && scanned) continue;  // a 1-bit page has no grain to add
            Page page = MakePage(dir, depth, scanned);
            std::fprintf(stderr, "Measuring the %s page ...\n", page.label.c_str());
            auto ours = [&](const char* writer, const imagefile::Compression& c, ImageFileFormat format) {
                const bool tiff = format == ImageFileFormat::Tiff;
                const std::string file = dir + "/ours" + (tiff ? ".tif" : ".png");
                Row row{page.label, writer, tiff ? "TIFF" : "PNG"};
                row.ms = MedianMs(runs, [&] { imagefile::SavePages(file, {page.handle}, format, nullptr, c); });
                row.bytes = fs::file_size(file);
                allRead = ReadsBack(page, file, tiff) && allRead;
                rows.push_back(row);
            };
            auto leptonica = [&](const char* writer, int format) {
                const std::string file = dir + "/lept." + (format == IFF_PNG ? "png" : "tif");
                Row row{page.label, writer, format == IFF_PNG ? "PNG" : "TIFF"};
                row.ms = MedianMs(runs, [&] { pixWrite(file.c_str(), page.pix, format); });
                row.bytes = fs::file_size(file);
                rows.push_back(row);
            };
            auto magick = [&](const char* extension, const char* name) {
                if (!Have(kConvert)) return;
                const std::string file = dir + "/im." + extension;
                const std::string quiet = " > /dev/null 2>&1";
                const double base =
                    MedianMs(runs, [&] { Shell(std::string(kConvert) + " '" + page.pnm + "' null:" + quiet); });
                const double whole = MedianMs(
                    runs, [&] { Shell(std::string(kConvert) + " '" + page.pnm + "' '" + file + "'" + quiet); });
                Row row{page.label, "ImageMagick default", name};
                row.ms = std::max(0.0, whole - base);
                row.bytes = fs::file_size(file);
                rows.push_back(row);
            };
            ours("ours fast (default)", fast, ImageFileFormat::Png);
            ours("ours best", best, ImageFileFormat::Png);
            leptonica("Leptonica IFF_PNG", IFF_PNG);
            magick("png", "PNG");
            ours("ours fast (default)", fast, ImageFileFormat::Tiff);
            ours("ours best", best, ImageFileFormat::Tiff);
            leptonica("Leptonica IFF_TIFF", IFF_TIFF);
            if (depth == 1) leptonica("Leptonica IFF_TIFF_G4", IFF_TIFF_G4);
            if (depth > 1) leptonica("Leptonica IFF_TIFF_ZIP", IFF_TIFF_ZIP);
            magick("tif", "TIFF");
            ImageWrapper::delete_bitmap(page.handle);
            pixDestroy(&page.pix);
        }
    }
    fs::remove_all(dir);

    double load[3] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(f);
    }
    std::printf("Write time (ms, median of %d) and size per 300-dpi A4 page (2480 x 3508); load average %.2f.\n", runs,
                load[0]);
    std::printf("'x ours' = the writer's time over our default's for the same page and format; 'bytes' likewise.\n\n");
    std::printf("%-16s %-6s %-22s %9s %11s %8s %8s\n", "page", "format", "writer", "write ms", "bytes", "x ours",
                "bytes %");
    for (const Row& row : rows) {
        const auto base = std::find_if(rows.begin(), rows.end(), [&](const Row& r) {
            return r.page == row.page && r.format == row.format && r.writer == "ours fast (default)";
        });
        std::printf("%-16s %-6s %-22s %9s %11ju %8.2f %7.0f%%\n", row.page.c_str(), row.format.c_str(),
                    row.writer.c_str(), Format(row.ms).c_str(), row.bytes, base->ms > 0 ? row.ms / base->ms : 0.0,
                    100.0 * static_cast<double>(row.bytes) / static_cast<double>(base->bytes));
    }
    std::printf("\nOur outputs read back identical by Leptonica%s%s: %s\n", Have(kConvert) ? ", ImageMagick" : "",
                Have("/usr/bin/tiffinfo") ? ", tiffinfo -D" : "", allRead ? "yes" : "NO");
    return allRead ? 0 : 1;
}
