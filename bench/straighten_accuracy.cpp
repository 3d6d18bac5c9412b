// The accuracy table of Straighten against Leptonica's find-skew-and-deskew
// (pixDeskewGeneral with its defaults) on the skewed page set of
// tools/skewset, per page class: how many pages end within 0.1 degree of
// straight, how many end more skewed than they came in (beyond 0.05 degree),
// how many straight pages were turned at all, and the mean and worst residual.
// With --deskew it adds the three detection types of Deskew.
//
//   build/bin/straighten_accuracy            # the full set, a few minutes
//   build/bin/straighten_accuracy --quick    # the handful the unit test runs
//   build/bin/straighten_accuracy --list     # one line per page as well
//   build/bin/straighten_accuracy --only photo --deskew   # pages whose name holds "photo"
#include "host/CZRDocument.h"
#include "host/CZRPage.h"
#include "host/CZRStatusMessage.h"
#include "host/HostRegistration.h"
#include "image/PixelImage.h"
#include "platform/registry/Registry.h"
#include "processes/lines/CZRStraighten.h"
#include "processes/lines/ProfileSkewAnalyzer.h"
#include "processes/lines/SkewAnalyzer.h"
#include "tools/skewset/PixHandle.h"
#include "tools/skewset/SkewSet.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace leafmend::skewset;

namespace {

struct Outcome {
    double applied = 0.0;  // clockwise degrees the page was turned
    std::string note;
};

// Straighten through the host, as a batch runs it; the turn is read from
// the page's status message.
Outcome RunStraighten(Pix* pix) {
    CComPtr<CZRDocument> document = HostObject<IZRPageContainer>::Create<CZRDocument>();
    document->AppendPage(PixToHandle(pix));
    CComObject<CZRStraighten>* object = nullptr;
    CComObject<CZRStraighten>::CreateInstance(&object);
    CComPtr<CComObject<CZRStraighten>> process(object);
    VARIANT_BOOL result = VARIANT_FALSE;
    Outcome outcome;
    if (FAILED(process->Process(document->Pages()[0], &result))) {
        outcome.note = "failed";
        return outcome;
    }
    CComPtr<ZRStatusMessage> message;
    document->Pages()[0]->Messages()->GetItem(0, &message);
    CComBSTR text;
    if (message) message->GetText(&text);
    outcome.note = text.utf8();
    if (outcome.note.find("straightened") != std::string::npos)
        outcome.applied = std::strtod(outcome.note.c_str() + 5, nullptr);
    return outcome;
}

Outcome RunLeptonica(Pix* pix) {
    l_float32 angle = 0.0f, confidence = 0.0f;
    Pix* turned = pixDeskewGeneral(pix, 0, 0.0f, 0.0f, 0, 0, &angle, &confidence);
    Outcome outcome;
    char note[96];
    std::snprintf(note, sizeof note, "%.2f conf %.1f", angle, confidence);
    outcome.note = note;
    if (turned && turned != pix) outcome.applied = angle;
    pixDestroy(&turned);
    return outcome;
}

// Deskew's measurement of one detection type (1 Angle, 2 Lines, 3 Text), as
// its process makes it; the process turns by exactly this.
Outcome RunDeskew(Pix* pix, int type) {
    const int handle = PixToHandle(pix);
    BITMAPINFOHEADER* dib = ImageWrapper::get_raw_dib(handle);
    double angle = 0.0;
    try {
        if (type == 3) {
            PixelImage pixels(dib);
            ProfileSkewAnalyzer analyzer(nullptr);
            angle = analyzer.profileSkew(pixels);
        } else {
            const auto mode = type == 1 ? SkewAnalyzer::kAngle : SkewAnalyzer::kLines;
            int copy = -1;
            if (dib->biBitCount != 1) {
                copy = ImageWrapper::create_handle_from_dib(dib);
                ImageWrapper::set_bit_depth(copy, 1, true);
            }
            PixelImage pixels(ImageWrapper::get_raw_dib(copy >= 0 ? copy : handle));
            SkewAnalyzer analyzer(nullptr, mode);
            analyzer.angleRange = 15;
            angle = analyzer.measure(&pixels);
            if (copy >= 0) ImageWrapper::delete_bitmap(copy);
        }
    } catch (...) {
        angle = 0.0;
    }
    ImageWrapper::delete_bitmap(handle);
    return {angle, ""};
}

struct Tally {
    int pages = 0, within = 0, worse = 0, zeroPages = 0, zeroTurned = 0;
    double residualSum = 0.0, worst = 0.0;
    void add(double skew, double applied) {
        // The content was turned clockwise by `skew`; a clockwise turn by
        // `applied` leaves it at skew + applied.
        const double residual = std::abs(skew + applied);
        ++pages;
        within += residual <= 0.1 + 1e-9 ? 1 : 0;
        worse += residual > std::abs(skew) + 0.05 ? 1 : 0;
        if (skew == 0.0) {
            ++zeroPages;
            zeroTurned += applied != 0.0 ? 1 : 0;
        }
        residualSum += residual;
        worst = std::max(worst, residual);
    }
    void print(const char* cls, const char* who) const {
        std::printf("%-11s %-14s %5d %7.1f%% %6d %6d/%-3d %8.3f %8.2f\n", cls, who, pages,
                    pages ? 100.0 * within / pages : 0.0, worse, zeroTurned, zeroPages,
                    pages ? residualSum / pages : 0.0, worst);
    }
};

}  // namespace

int main(int argc, char** argv) {
    bool quick = false, list = false, deskew = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        quick |= std::strcmp(argv[i], "--quick") == 0;
        list |= std::strcmp(argv[i], "--list") == 0;
        deskew |= std::strcmp(argv[i], "--deskew") == 0;
    }
    setMsgSeverity(L_SEVERITY_NONE);
    Registry::Instance().SetVolatile(true);
    RegisterHostClasses();

    std::vector<std::string> who = {"Straighten", "Leptonica"};
    if (deskew) who.insert(who.end(), {"Deskew Text", "Deskew Lines", "Deskew Angle"});
    std::map<std::string, std::map<std::string, Tally>> tallies;  // class -> who -> tally
    const std::vector<SkewCase> cases = quick ? QuickSet() : FullSet();
    for (const SkewCase& c : cases) {
        if (!only.empty() && c.Name().find(only) == std::string::npos) continue;
        Pix* pix = RenderCase(c);
        std::vector<Outcome> outcomes = {RunStraighten(pix), RunLeptonica(pix)};
        if (deskew)
            for (int type : {3, 2, 1}) outcomes.push_back(RunDeskew(pix, type));
        pixDestroy(&pix);
        for (std::size_t i = 0; i < who.size(); ++i) {
            tallies[ClassName(c.pageClass)][who[i]].add(c.skew, outcomes[i].applied);
            tallies["all"][who[i]].add(c.skew, outcomes[i].applied);
        }
        if (list) {
            std::printf("%-36s", c.Name().c_str());
            for (std::size_t i = 0; i < who.size(); ++i)
                std::printf("  %s %+.2f", i < 2 ? "" : who[i].c_str() + 7, c.skew + outcomes[i].applied);
            std::printf("   | %s | %s\n", outcomes[0].note.c_str(), outcomes[1].note.c_str());
            std::fflush(stdout);
        }
    }
    std::printf("\n%-11s %-14s %5s %8s %6s %10s %8s %8s\n", "class", "deskew", "pages", "<=0.1", "worse", "0-turned",
                "mean", "worst");
    for (const PageClass pageClass : AllClasses()) {
        const auto found = tallies.find(ClassName(pageClass));
        if (found == tallies.end()) continue;
        for (const std::string& w : who) found->second[w].print(ClassName(pageClass), w.c_str());
    }
    for (const std::string& w : who) tallies["all"][w].print("all", w.c_str());
    return 0;
}
