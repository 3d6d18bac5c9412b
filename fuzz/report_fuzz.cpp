// Fuzzes what --resume reads from the outside: the bytes before the first
// NUL are a report file, the rest its journal (one JSON record per line).
// The reader must refuse a report that is not ours with a usage error and
// take anything else (hand-edited fields of any type, cut lines) without
// crashing: every input counts as done or not, and the merged report keeps
// the recorded entries.
#include "cli/CliError.h"
#include "cli/ResumeState.h"
#include "cli/RunJournal.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/leafmend-report-fuzz-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    const std::string report = folder + "/r.json";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = bytes.find('\0');
    std::ofstream(report, std::ios::binary | std::ios::trunc) << bytes.substr(0, cut);
    std::ofstream(RunJournal::PathFor(report), std::ios::binary | std::ios::trunc)
        << (cut == std::string_view::npos ? std::string_view() : bytes.substr(cut + 1));
    try {
        const ResumeState state = ResumeState::Load(report);
        // Names a report may well hold; none exists, so none is done.
        const std::vector<std::string> inputs = {"in/a.png", "a.png", "", "in/m.tif"};
        std::vector<bool> skipped;
        for (const std::string& input : inputs) {
            if (state.Done(input, folder + "/out")) __builtin_trap();
            state.Pages(input);
            state.FailedPages(input);
            skipped.push_back(false);
        }
        state.Merge(inputs, skipped, Report());
    } catch (const CliError&) {
    }
    return 0;
}
