#include "cli/Report.h"

#include "cli/AtomicFile.h"

void Report::Append(Report&& other) {
    for (auto& entry : other.entries_) entries_.push_back(std::move(entry));
    other.entries_ = nlohmann::json::array();
}

std::string Report::Text() const {
    // Every string placed in an entry is valid UTF-8 (names pass through
    // text::Printable); replace keeps a stray byte from failing the dump.
    return entries_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void Report::Write(const std::string& path) const {
    AtomicFile file(path);
    file.Write(Text());
    file.Commit();
}
