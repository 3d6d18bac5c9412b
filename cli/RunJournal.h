// The report's journal: while a run with --report goes on, every finished
// file's report entries are appended to "REPORT.journal" as one JSON line
// and flushed to disk, so a run that is killed (even by SIGKILL) leaves a
// record of what it finished; --resume reads it, and the journal goes once
// the report is written. A line cut short by a kill is ignored. The journal
// is locked while a run writes it: a second run with the same report is
// refused. O(entries) per file.
#pragma once

#include <nlohmann/json.hpp>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

class RunJournal {
public:
    // Opens (keep: appends to what an earlier run left; else starts empty);
    // throws CliError when another run holds it, OutputFailure when it cannot
    // be written.
    RunJournal(const std::string& reportPath, bool keep);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    static std::string PathFor(const std::string& reportPath);
    // The files recorded, in order (a file recorded twice appears twice:
    // the later line is the newer).
    static std::vector<std::pair<std::string, nlohmann::json>> Read(const std::string& reportPath);

    // Appends one file's entries and flushes; thread-safe; throws OutputFailure.
    void Record(const std::string& file, const nlohmann::json& entries);
    // Deletes the journal (once the report holds everything).
    void Remove();

private:
    std::string path_;
    int fd_ = -1;
    std::mutex lock_;
};
