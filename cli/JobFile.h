// Job files: a root element holding "Process" elements exactly as processes
// save themselves, run in document order. Loading parses the text once and
// checks the whole file before any page is touched: well-formed XML within
// the size, depth and count limits, known ProgIDs, and every saved value of
// its declared type (a value saved as another type is converted, or the job
// is refused naming the key and both types). Errors name the file, the line
// and the cause. Saving writes a pipeline as such a file, atomically.
// O(size of the file).
#pragma once

#include "cli/PageDriver.h"
#include "cli/ProcessFactory.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct JobLimits {
    std::size_t bytes = 16u << 20;
    std::size_t depth = 64;         // a saved process needs about 6
    std::size_t elements = 100000;  // in the whole file
    std::size_t processes = 256;
};

class JobFile {
public:
    static std::vector<PipelineStep> Load(const std::string& path, const ProcessFactory& factory,
                                          const JobLimits& limits = {});
    // The same for a text in memory; `name` stands for the file in messages.
    static std::vector<PipelineStep> Parse(std::string_view text, const std::string& name,
                                           const ProcessFactory& factory, const JobLimits& limits = {});
    static void Save(const std::string& path, const std::vector<PipelineStep>& steps);
};
