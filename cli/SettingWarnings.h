// Settings the processes accept but users rarely mean, found before pages
// are touched (an unknown DetectionType, a zone of negative width or height)
// or per page (a Despeckle SIZE at least as large as the page, which removes
// every black group). The processes behave as they always do; the command
// only says so, on stderr and in the report. O(processes + zones).
#pragma once

#include "cli/PageDriver.h"

#include <string>
#include <vector>

class SettingWarnings {
public:
    static std::vector<std::string> ForPipeline(const std::vector<PipelineStep>& steps);
    static std::vector<std::string> ForPage(const std::vector<PipelineStep>& steps, long width, long height, long bits);
};
