// Prints how much of the rules and of the characters survive line removal on
// synthetic 300-dpi A4 form pages (text crossed by 30 horizontal rules 1 to 6
// pixels thick, level and slanted up to 2 degrees), for our process without
// and with stroke reconstruction and, on the same pages in the same run, for
// unpaper's black-area filter and ImageMagick's opening with a long line
// kernel. A rule pixel is one drawn by a rule and not by a character; a
// character pixel is lost when it is white afterwards; "added" counts black
// pixels that neither drew.
//
//   lineremoval_quality [--pages N] [--keep DIR] [--gaps G1,G2,...] [--min-length N] [--no-peers]
// (--keep DIR also writes, for the first page, the page, its rules and text,
// each result, and per result the rule pixels it left and the character
// pixels it took outside the rules; rules less than 95 % erased are listed)
//   lineremoval_quality --write-page FILE   (the first form page as a G4 TIFF, for bench/peers)
#include "host/CZRDocument.h"
#include "host/HostRegistration.h"
#include "platform/imagelib/ImageWrapper.h"
#include "platform/registry/Registry.h"
#include "processes/lines/CZRLineRemoval.h"

// Leptonica (through the form pages) after the COM headers.
#include "bench/FormPages.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Score {
    double rulePixels = 0;
    double ruleErased = 0;
    double byThickness[7][2] = {};  // [t] = {pixels, erased}
    double slanted[2] = {};
    double charPixels = 0;
    double charLost = 0;
    double added = 0;
    double underRules = 0;  // character pixels a rule covers
    double milliseconds = 0;
    int pages = 0;
    bool failed = false;
};

int Count(Pix* pix) {
    l_int32 n = 0;
    pixCountPixels(pix, &n, nullptr);
    return n;
}

// result: 1-bit, 1 = black.
// With `missed`, rules of which less than 95 % went are listed.
void Measure(const formpages::FormPage& form, Pix* result, Score& score, bool missed = false) {
    Pix* ruleOnly = pixSubtract(nullptr, form.rules, form.text);
    Pix* gone = pixInvert(nullptr, result);  // white afterwards
    Pix* erased = pixAnd(nullptr, ruleOnly, gone);
    score.rulePixels += Count(ruleOnly);
    score.ruleErased += Count(erased);
    const int w = pixGetWidth(form.page);
    const int h = pixGetHeight(form.page);
    for (const formpages::Rule& rule : form.drawn) {
        Pix* one = pixCreate(w, h, 1);
        formpages::DrawRule(one, rule);
        pixSubtract(one, one, form.text);
        Pix* oneErased = pixAnd(nullptr, one, gone);
        const int t = std::min(rule.thickness, 6);
        score.byThickness[t][0] += Count(one);
        score.byThickness[t][1] += Count(oneErased);
        if (rule.degrees != 0.0) {
            score.slanted[0] += Count(one);
            score.slanted[1] += Count(oneErased);
        }
        if (missed && Count(oneErased) < 0.95 * Count(one))
            std::printf("  missed: rule x %d..%d y %d, %d px, %.1f deg: %d of %d erased\n", rule.x0, rule.x1, rule.y,
                        rule.thickness, rule.degrees, Count(oneErased), Count(one));
        pixDestroy(&one);
        pixDestroy(&oneErased);
    }
    Pix* under = pixAnd(nullptr, form.text, form.rules);
    score.underRules += Count(under);
    pixDestroy(&under);
    Pix* lost = pixAnd(nullptr, form.text, gone);
    score.charPixels += Count(form.text);
    score.charLost += Count(lost);
    Pix* extra = pixSubtract(nullptr, result, form.page);
    score.added += Count(extra);
    pixDestroy(&ruleOnly);
    pixDestroy(&gone);
    pixDestroy(&erased);
    pixDestroy(&lost);
    pixDestroy(&extra);
}

// Rules of two thirds of an inch or more by default: the shortest rule drawn
// (under a two-word line) is 270 pixels long.
constexpr LONG kMinLength = 200;

// Ours, in process, on the library's copy of the page.
struct Ours {
    LONG minLength;
    LONG maxGap;
    LONG reconstruction;
    LONG detection;
};

Pix* RunOurs(Pix* page, const Ours& settings, double& ms) {
    const int w = pixGetWidth(page);
    const int h = pixGetHeight(page);
    const int handle = ImageWrapper::create_handle_from_scratch(w, h, 1);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    const std::size_t stride = dib::Stride(w, 1);
    for (int y = 0; y < h; ++y) {
        const l_uint32* line = pixGetData(page) + static_cast<std::size_t>(y) * pixGetWpl(page);
        std::uint8_t* row = dib::Bits(dib) + stride * static_cast<std::size_t>(h - 1 - y);
        for (int n = 0; n < (w + 7) / 8; ++n) row[n] = static_cast<std::uint8_t>(~GET_DATA_BYTE(line, n));
    }
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(handle);
    CComObject<CZRLineRemoval>* object = nullptr;
    CComObject<CZRLineRemoval>::CreateInstance(&object);
    CComPtr<CComObject<CZRLineRemoval>> process(object);
    const auto set = [&](const char16_t* key, LONG value) {
        CComBSTR name(key);
        process->put_Properties(name, CComVariant(value));
    };
    set(u"MAXTHICKNESS", 6);
    set(u"MINLENGTH", settings.minLength);
    set(u"MAXGAP", settings.maxGap);
    set(u"RECONSTRUCTION", settings.reconstruction);
    set(u"DETECTION", settings.detection);
    VARIANT_BOOL result;
    const auto start = Clock::now();
    process->Process(document->Pages()[0], &result);
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    dib = ImageWrapper::get_raw_dib(document->Pages()[0]->Image()->Handle());
    Pix* out = pixCreate(w, h, 1);
    for (int y = 0; y < h; ++y) {
        l_uint32* line = pixGetData(out) + static_cast<std::size_t>(y) * pixGetWpl(out);
        const std::uint8_t* row = dib::Bits(dib) + stride * static_cast<std::size_t>(h - 1 - y);
        for (int n = 0; n < (w + 7) / 8; ++n) SET_DATA_BYTE(line, n, static_cast<std::uint8_t>(~row[n]));
    }
    return out;
}

// A peer on files: the command gets the input and output paths.
Pix* RunCommand(Pix* page, const std::string& dir, const std::string& name,
                const std::function<std::string(const std::string&, const std::string&)>& command, double& ms) {
    const std::string in = dir + "/in-" + name + ".pbm";
    const std::string out = dir + "/out-" + name + ".pbm";
    pixWrite(in.c_str(), page, IFF_PNM);
    std::filesystem::remove(out);
    const auto start = Clock::now();
    const int status = std::system((command(in, out) + " > /dev/null 2>&1").c_str());
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (status != 0) return nullptr;
    Pix* read = pixRead(out.c_str());
    if (!read) return nullptr;
    Pix* binary = pixGetDepth(read) == 1 ? pixClone(read) : pixConvertTo1(read, 128);
    pixDestroy(&read);
    return binary;
}

struct Method {
    std::string name;
    std::function<Pix*(Pix*, double&)> run;
    Score score;
};

std::string Percent(double part, double whole, int decimals = 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, whole > 0 ? 100.0 * part / whole : 0.0);
    return text;
}

// "0,30,60" -> {0, 30, 60}
std::vector<LONG> Numbers(const char* text) {
    std::vector<LONG> values;
    while (*text) {
        char* end = nullptr;
        values.push_back(std::strtol(text, &end, 10));
        if (end == text) break;
        text = *end == ',' ? end + 1 : end;
    }
    return values;
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 2;
    std::string keep;
    std::vector<LONG> gaps = {0, 30};
    bool peers = true;
    LONG minLength = kMinLength;
    if (argc == 3 && std::string(argv[1]) == "--write-page") {
        formpages::FormPage form;
        formpages::Build(form, 300, 30, {1, 2, 3, 4, 5, 6}, {0.0, 0.5, -1.0, 2.0, 0.0, -2.0, 1.5}, 1);
        return pixWrite(argv[2], form.page, IFF_TIFF_G4) == 0 ? 0 : 1;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--no-peers") {
            peers = false;
            continue;
        }
        if (i + 1 >= argc) break;
        if (std::string(argv[i]) == "--pages")
            pages = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--keep")
            keep = argv[++i];
        else if (std::string(argv[i]) == "--gaps")
            gaps = Numbers(argv[++i]);
        else if (std::string(argv[i]) == "--min-length")
            minLength = std::atoi(argv[++i]);
    }
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();
    const std::string dir =
        keep.empty() ? (std::filesystem::temp_directory_path() / "leafmend-lineremoval-quality").string() : keep;
    std::filesystem::create_directories(dir);
    const std::string convert = "/usr/bin/convert";  // ImageMagick's own, whatever else is first on PATH
    const bool haveUnpaper = peers && std::system("command -v unpaper > /dev/null") == 0;
    const bool haveConvert = peers && std::filesystem::exists(convert);

    std::vector<Method> methods;
    for (const LONG detection : {0, 1}) {
        for (const LONG gap : gaps) {
            for (const LONG reconstruction : {0, 8, 20}) {
                const Ours settings{minLength, gap, reconstruction, detection};
                methods.push_back({"leafmend DETECTION=" + std::to_string(detection) +
                                       " MAXGAP=" + std::to_string(gap) +
                                       (reconstruction ? " RECONSTRUCTION=" + std::to_string(reconstruction)
                                                       : std::string(" no reconstruction")),
                                   [settings](Pix* page, double& ms) { return RunOurs(page, settings, ms); },
                                   {}});
            }
        }
    }
    if (haveUnpaper) {
        // The black-area filter alone, scanning across with bars as deep as
        // the thinnest and as the thickest rule.
        for (const int depth : {1, 3}) {
            for (const int size : {50, 150}) {
                const std::string name = "unpaper blackfilter h " + std::to_string(size) + "x" + std::to_string(depth);
                const std::string options =
                    " --overwrite --no-noisefilter --no-blurfilter --no-grayfilter "
                    "--no-mask-scan --no-mask-center --no-deskew --no-wipe --no-border "
                    "--no-border-scan --no-border-align -bn h -bs " +
                    std::to_string(size) + " -bd " + std::to_string(depth) + " -bi 1 ";
                methods.push_back({name,
                                   [dir, name, options](Pix* page, double& ms) {
                                       return RunCommand(
                                           page, dir, "unpaper",
                                           [&](const std::string& in, const std::string& out) {
                                               return "unpaper" + options + in + " " + out;
                                           },
                                           ms);
                                   },
                                   {}});
            }
        }
    }
    if (haveConvert) {
        // The rules are what an opening with a long horizontal line keeps;
        // they are painted white on the page.
        for (const int length : {25, 51, 101}) {
            const std::string name = "ImageMagick open rectangle:" + std::to_string(length) + "x1";
            methods.push_back({name,
                               [dir, convert, length](Pix* page, double& ms) {
                                   return RunCommand(
                                       page, dir, "magick",
                                       [&](const std::string& in, const std::string& out) {
                                           return "MAGICK_THREAD_LIMIT=1 " + convert + " " + in +
                                                  " \\( +clone -negate -morphology Open rectangle:" +
                                                  std::to_string(length) + "x1 \\) -compose Lighten -composite " + out;
                                       },
                                       ms);
                               },
                               {}});
        }
    }

    const std::vector<std::vector<int>> thicknessSets = {{1, 2, 3, 4, 5, 6}, {6, 4, 2, 5, 3, 1}};
    const std::vector<std::vector<double>> slopeSets = {{0.0, 0.5, -1.0, 2.0, 0.0, -2.0, 1.5},
                                                        {-0.5, 0.0, 1.0, -2.0, 0.0}};
    for (int p = 0; p < pages; ++p) {
        formpages::FormPage form;
        formpages::Build(form, 300, 30, thicknessSets[static_cast<std::size_t>(p) % 2],
                         slopeSets[static_cast<std::size_t>(p) % 2], static_cast<std::uint32_t>(p + 1));
        if (!keep.empty() && p == 0) {
            pixWrite((dir + "/page.png").c_str(), form.page, IFF_PNG);
            pixWrite((dir + "/rules.png").c_str(), form.rules, IFF_PNG);
            pixWrite((dir + "/text.png").c_str(), form.text, IFF_PNG);
        }
        for (Method& method : methods) {
            double ms = 0;
            Pix* result = method.run(form.page, ms);
            if (!result) {
                method.score.failed = true;
                continue;
            }
            if (!keep.empty() && p == 0) std::printf("%s\n", method.name.c_str());
            Measure(form, result, method.score, !keep.empty() && p == 0);
            method.score.milliseconds += ms;
            ++method.score.pages;
            if (!keep.empty() && p == 0) {
                std::string file = method.name;
                for (char& c : file)
                    if (c == ' ' || c == ':' || c == '=') c = '_';
                pixWrite((dir + "/" + file + ".png").c_str(), result, IFF_PNG);
                // The rule pixels it left.
                Pix* left = pixSubtract(nullptr, form.rules, form.text);
                pixAnd(left, left, result);
                pixWrite((dir + "/left-" + file + ".png").c_str(), left, IFF_PNG);
                pixDestroy(&left);
                // The character pixels it took outside the rules.
                Pix* lost = pixSubtract(nullptr, form.text, form.rules);
                pixSubtract(lost, lost, result);
                pixWrite((dir + "/lost-" + file + ".png").c_str(), lost, IFF_PNG);
                pixDestroy(&lost);
            }
            pixDestroy(&result);
        }
    }

    std::printf("%d synthetic A4 pages at 300 dpi, 30 rules each (1-6 px, level and slanted up to 2 deg)\n", pages);
    std::printf("%-52s %7s %6s %6s %6s %6s %6s %6s %7s %7s %9s %8s %8s\n", "method", "rule%", "t=1", "t=2", "t=3",
                "t=4", "t=5", "t=6", "slant%", "char%", "char px", "added", "ms/page");
    for (const Method& m : methods) {
        const Score& s = m.score;
        if (s.pages == 0) {
            std::printf("%-52s failed\n", m.name.c_str());
            continue;
        }
        std::printf("%-52s %7s", m.name.c_str(), Percent(s.ruleErased, s.rulePixels, 2).c_str());
        for (int t = 1; t <= 6; ++t) std::printf(" %6s", Percent(s.byThickness[t][1], s.byThickness[t][0]).c_str());
        std::printf(" %7s %7s %9.0f %8.0f %8.0f\n", Percent(s.slanted[1], s.slanted[0]).c_str(),
                    Percent(s.charLost, s.charPixels, 2).c_str(), s.charLost / s.pages, s.added / s.pages,
                    s.milliseconds / s.pages);
    }
    if (!methods.empty() && methods[0].score.pages > 0) {
        const Score& s = methods[0].score;
        std::printf(
            "character pixels under the rules (lost by any removal that does not rebuild them): %s%%, %.0f "
            "per page\n",
            Percent(s.underRules, s.charPixels).c_str(), s.underRules / s.pages);
    }
    std::printf(
        "rule%%: rule pixels erased; t=N: of rules N px thick; slant%%: of slanted rules; char%%: character "
        "pixels lost (char px: per page); added: black pixels neither drew, per page\n");
    return 0;
}
