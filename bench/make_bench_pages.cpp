// Writes 300-dpi A4 pages for timing whole leafmend runs and the peer tools:
// a1.tif (1-bit G4), a8.png (8-bit grey), a24.png (24-bit colour), each
// optionally skewed. Usage: make_bench_pages OUTDIR [SKEW_DEGREES]
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_bench_pages OUTDIR [SKEW_DEGREES]\n");
        return 2;
    }
    using namespace leafmend::synthpage;
    const std::string dir = argv[1];
    const double skew = argc > 2 ? std::atof(argv[2]) : 0.0;
    struct Output {
        int depth;
        const char* name;
        int format;
    };
    for (const Output& out :
         {Output{1, "a1.tif", IFF_TIFF_G4}, Output{8, "a8.png", IFF_PNG}, Output{32, "a24.png", IFF_PNG}}) {
        PageOptions options = PageOptions::A4(300);
        options.depth = out.depth;
        options.skewDegrees = skew;
        Pix* pix = RenderPage(options);
        const std::string path = dir + "/" + out.name;
        if (!pix || pixWrite(path.c_str(), pix, out.format) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        pixDestroy(&pix);
    }
    return 0;
}
