// Fuzzes the command's job loader itself (JobFile::Parse): the bytes are a
// job file; the loader checks its shape and limits, creates each named
// process through the module and lets it read its own element, then the
// loaded processes save themselves again. Refusals are fine; nothing may
// crash, leak, hang or read out of bounds, whatever the text.
#include "cli/JobFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ProcessFactory* factory = new ProcessFactory();  // the module stays loaded for the whole run
    try {
        const auto steps =
            JobFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.xml", *factory);
        for (const PipelineStep& step : steps) {
            CComBSTR xml;
            step.process->get_XML(&xml);
        }
    } catch (const CliError&) {
    } catch (const RunFailure&) {
    }
    return 0;
}
