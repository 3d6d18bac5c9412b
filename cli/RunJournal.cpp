#include "cli/RunJournal.h"

#include "cli/CliError.h"
#include "cli/Text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw OutputFailure("cannot write " + text::Printable(path) + ": " + std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

std::string RunJournal::PathFor(const std::string& reportPath) { return reportPath + ".journal"; }

RunJournal::RunJournal(const std::string& reportPath, bool keep) : path_(PathFor(reportPath)) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd_ < 0) throw OutputFailure("cannot write " + text::Printable(path_) + ": " + std::strerror(errno));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw CliError("another leafmend run is writing the report " + text::Printable(reportPath) +
                       "; give every run (every shard) its own --report");
    }
    if (!keep) {
        if (::ftruncate(fd_, 0) != 0)
            throw OutputFailure("cannot write " + text::Printable(path_) + ": " + std::strerror(errno));
        return;
    }
    // A line cut short by a kill is ended, so the next one starts clean.
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(fd_, &last, 1, size - 1) == 1 && last != '\n') WriteAll(fd_, "\n", path_);
}

RunJournal::~RunJournal() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<std::pair<std::string, nlohmann::json>> RunJournal::Read(const std::string& reportPath) {
    std::vector<std::pair<std::string, nlohmann::json>> files;
    std::ifstream in(PathFor(reportPath), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded() || !record.is_object() || !record.contains("file") || !record["file"].is_string() ||
            !record.contains("entries") || !record["entries"].is_array())
            continue;  // cut short by a kill
        files.emplace_back(record["file"].get<std::string>(), record["entries"]);
    }
    return files;
}

void RunJournal::Record(const std::string& file, const nlohmann::json& entries) {
    const nlohmann::json record = {{"file", text::Printable(file)}, {"entries", entries}};
    const std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::lock_guard guard(lock_);
    WriteAll(fd_, line, path_);
    if (::fdatasync(fd_) != 0)
        throw OutputFailure("cannot write " + text::Printable(path_) + ": " + std::strerror(errno));
}

void RunJournal::Remove() {
    std::lock_guard guard(lock_);
    ::unlink(path_.c_str());
}
