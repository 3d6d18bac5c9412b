// What earlier runs with the same --report finished, for --resume: the
// report they wrote and the journal a killed run left, newest entries winning
// per file. An input counts as done only when its entries cover every page of
// the input (pages 1 ... n, no file-level error) and, unless every page was
// removed, its output exists and reads back with as many pages as were kept
// (a temporary file or a stray output never counts). The final report merges
// the earlier entries with the run's own: nothing recorded is lost.
// O(entries) plus one page count per input.
#pragma once

#include "cli/Report.h"

#include <map>
#include <string>
#include <vector>

class ResumeState {
public:
    // Throws CliError when the report exists but is not a leafmend report.
    static ResumeState Load(const std::string& reportPath);

    bool Done(const std::string& input, const std::string& outputDir) const;
    // Recorded pages of an input (done ones), and how many of them failed.
    long Pages(const std::string& input) const;
    long FailedPages(const std::string& input) const;
    // The run's own report over `inputs` merged with the recorded entries:
    // the run's warnings, then per input (in order) its recorded entries when
    // it was skipped, else the run's; then entries of files outside this run
    // and earlier warnings not said again.
    Report Merge(const std::vector<std::string>& inputs, const std::vector<bool>& skipped, Report fresh) const;

private:
    std::vector<std::string> files_;  // in first-seen order
    std::map<std::string, nlohmann::json> entries_;
    nlohmann::json general_ = nlohmann::json::array();  // entries about no file (warnings)
};
