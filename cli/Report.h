// The JSON report of a run: one entry per page (result, messages, errors,
// warnings, time) and per file that could not be read or written, in input
// order. File names that are not UTF-8 appear with their odd bytes as \xHH.
// Written through a temporary file and renamed; a report that cannot be
// written completely is an error. O(entries).
#pragma once

#include <nlohmann/json.hpp>

#include <string>

class Report {
public:
    void Add(nlohmann::json entry) { entries_.push_back(std::move(entry)); }
    void Append(Report&& other);
    const nlohmann::json& Entries() const { return entries_; }
    std::string Text() const;
    // Throws RunFailure with the cause when the report cannot be written completely.
    void Write(const std::string& path) const;

private:
    nlohmann::json entries_ = nlohmann::json::array();
};
