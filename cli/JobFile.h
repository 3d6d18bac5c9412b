// Job files: a root element holding "Process" elements exactly as processes
// save themselves, run in document order. Loading checks the whole file
// (well-formed XML, known ProgIDs, values that fit their types) before any
// page is touched; errors name the file, the line and the cause. Saving
// writes the processes of a pipeline as such a file (temporary name, then
// rename). O(size of the file).
#pragma once

#include "cli/BatchRunner.h"
#include "cli/ProcessFactory.h"

#include <string>
#include <vector>

class JobFile {
public:
    static std::vector<PipelineStep> Load(const std::string& path, const ProcessFactory& factory);
    static void Save(const std::string& path, const std::vector<PipelineStep>& steps);
};
