// 300-dpi A4 benchmark pages (1-, 8- and 24-bit text, specks, skew, rules),
// rendered once per run and handed out as fresh copies.
#include "bench/BenchPages.h"

#include "platform/imagelib/ImageWrapper.h"
#include "tools/synthpage/SyntheticPage.h"

#include <leptonica/allheaders.h>

#include <map>
#include <mutex>

namespace {
// Renders through a temporary PNG/TIFF so the page reaches the library the way files do.
int RenderHandle(int bits, double skew) {
    using namespace leafmend::synthpage;
    PageOptions options = PageOptions::A4(300);
    options.depth = bits == 24 ? 32 : bits;
    options.skewDegrees = skew;
    Pix* pix = RenderPage(options);
    const std::string path =
        "/tmp/leafmend-bench-" + std::to_string(bits) + "-" + std::to_string(skew) + (bits == 1 ? ".tif" : ".png");
    if (bits == 1)
        pixWrite(path.c_str(), pix, IFF_TIFF_G4);
    else
        pixWrite(path.c_str(), pix, IFF_PNG);
    pixDestroy(&pix);
    const int handle = imagefile::LoadPage(path, 0);
    std::remove(path.c_str());
    return handle;
}
}  // namespace

CComPtr<CZRDocument> BenchDocument(int bits, double skewDegrees) {
    static std::mutex lock;
    static std::map<std::pair<int, double>, int> masters;
    int master;
    {
        std::lock_guard guard(lock);
        auto it = masters.find({bits, skewDegrees});
        if (it == masters.end())
            it = masters.emplace(std::make_pair(bits, skewDegrees), RenderHandle(bits, skewDegrees)).first;
        master = it->second;
    }
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(ImageWrapper::create_handle_from_dib(ImageWrapper::get_raw_dib(master)));
    return document;
}
