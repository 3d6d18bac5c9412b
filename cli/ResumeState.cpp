#include "cli/ResumeState.h"

#include "cli/CliError.h"
#include "cli/RunJournal.h"
#include "cli/Text.h"
#include "platform/imagelib/ImageWrapper.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool IsPageEntry(const nlohmann::json& entry) { return entry.contains("page") && entry["page"].is_number_integer(); }

// A true/false field of an entry; a report edited by hand may hold anything there.
bool Flag(const nlohmann::json& entry, const char* key, bool otherwise) {
    if (!entry.contains(key)) return otherwise;
    const nlohmann::json& value = entry[key];
    return value.is_boolean() ? value.get<bool>() : otherwise;
}

}  // namespace

ResumeState ResumeState::Load(const std::string& reportPath) {
    ResumeState state;
    auto record = [&state](const std::string& file, nlohmann::json entries) {
        if (!state.entries_.count(file)) state.files_.push_back(file);
        state.entries_[file] = std::move(entries);
    };
    std::error_code ec;
    if (fs::exists(reportPath, ec)) {
        std::ifstream in(reportPath, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        const nlohmann::json report = nlohmann::json::parse(bytes.str(), nullptr, false);
        if (!in || report.is_discarded() || !report.is_array())
            throw CliError("--resume: " + text::Printable(reportPath) +
                           " is not a leafmend report (a JSON list of entries); it is left as it is");
        std::map<std::string, nlohmann::json> byFile;
        std::vector<std::string> order;
        for (const nlohmann::json& entry : report) {
            if (!entry.is_object()) continue;
            if (!entry.contains("file") || !entry["file"].is_string()) {
                state.general_.push_back(entry);
                continue;
            }
            const std::string file = entry["file"].get<std::string>();
            if (!byFile.count(file)) {
                order.push_back(file);
                byFile[file] = nlohmann::json::array();
            }
            byFile[file].push_back(entry);
        }
        for (const std::string& file : order) record(file, std::move(byFile[file]));
    }
    for (auto& [file, entries] : RunJournal::Read(reportPath)) record(file, std::move(entries));
    return state;
}

bool ResumeState::Done(const std::string& input, const std::string& outputDir) const {
    const auto found = entries_.find(text::Printable(input));
    if (found == entries_.end()) return false;
    std::set<long> pages;
    long removed = 0;
    for (const nlohmann::json& entry : found->second) {
        if (!IsPageEntry(entry)) {
            if (entry.contains("error")) return false;  // the file failed or was not finished
            continue;
        }
        if (!pages.insert(entry["page"].get<long>()).second) return false;
        if (!entry.contains("ok") || !entry["ok"].is_boolean() || !entry.contains("removed") ||
            !entry["removed"].is_boolean())
            return false;  // not as this command writes it: the file is done again
        if (entry["removed"].get<bool>()) removed++;
    }
    const int pageCount = imagefile::CountPages(input);
    if (pageCount <= 0 || pages.size() != static_cast<std::size_t>(pageCount) || *pages.begin() != 1 ||
        *pages.rbegin() != pageCount)
        return false;
    if (removed == pageCount) return true;  // nothing to write
    const fs::path output = fs::path(outputDir) / fs::path(input).filename();
    std::error_code ec;
    if (!fs::is_regular_file(output, ec)) return false;
    return imagefile::CountPages(output.string()) == pageCount - removed;
}

long ResumeState::Pages(const std::string& input) const {
    const auto found = entries_.find(text::Printable(input));
    if (found == entries_.end()) return 0;
    long pages = 0;
    for (const nlohmann::json& entry : found->second) pages += IsPageEntry(entry) ? 1 : 0;
    return pages;
}

long ResumeState::FailedPages(const std::string& input) const {
    const auto found = entries_.find(text::Printable(input));
    if (found == entries_.end()) return 0;
    long failed = 0;
    for (const nlohmann::json& entry : found->second) failed += IsPageEntry(entry) && !Flag(entry, "ok", false) ? 1 : 0;
    return failed;
}

Report ResumeState::Merge(const std::vector<std::string>& inputs, const std::vector<bool>& skipped,
                          Report fresh) const {
    Report merged;
    std::map<std::string, std::vector<nlohmann::json>> freshByFile;
    std::vector<nlohmann::json> freshGeneral;
    for (const nlohmann::json& entry : fresh.Entries()) {
        if (entry.contains("file") && entry["file"].is_string())
            freshByFile[entry["file"].get<std::string>()].push_back(entry);
        else
            freshGeneral.push_back(entry);
    }
    for (const nlohmann::json& entry : freshGeneral) merged.Add(entry);
    std::set<std::string> covered;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string file = text::Printable(inputs[i]);
        covered.insert(file);
        if (skipped[i]) {
            for (const nlohmann::json& entry : entries_.at(file)) merged.Add(entry);
        } else {
            for (nlohmann::json& entry : freshByFile[file]) merged.Add(std::move(entry));
        }
    }
    for (const std::string& file : files_)
        if (!covered.count(file))
            for (const nlohmann::json& entry : entries_.at(file)) merged.Add(entry);
    for (const nlohmann::json& entry : general_)
        if (std::find(freshGeneral.begin(), freshGeneral.end(), entry) == freshGeneral.end()) merged.Add(entry);
    return merged;
}
