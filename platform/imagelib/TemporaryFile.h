// A temporary file beside the file it will become: created exclusively under
// a random name (".NAME.leafmend-XXXXXX" in the target's folder), so an
// existing file or a planted symbolic link is never opened, and either
// committed (flushed to disk, then renamed over the target in one step) or
// removed. Live temporary files are also kept in a fixed table that a signal
// handler may empty with RemoveAllNow. O(1) apart from the flush.
#pragma once

#include <string>

namespace imagelib {

class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile() { remove(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // IMG_OK, or a status and the cause in *error.
    int create(const std::string& target, std::string* error);
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // Flushes and closes the file and renames it to the target; on failure
    // the temporary file is removed.
    int commit(std::string* error);
    // Closes and deletes the file (nothing when none is open).
    void remove();

    // True for names this class gives its files.
    static bool IsTemporaryName(const std::string& fileName);
    // Deletes every live temporary file; async-signal-safe.
    static void RemoveAllNow();

private:
    int slot_ = -1;
    int fd_ = -1;
    std::string path_;
    std::string target_;
};

}  // namespace imagelib
