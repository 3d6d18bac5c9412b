// Every file the command writes (page outputs, the report, saved jobs) goes
// through here: a temporary file ".NAME.leafmend-PID-XXXXXX" is created
// beside the target exclusively (O_EXCL, so never through a link someone put
// there), written, flushed to disk and renamed over the target only when
// complete; otherwise it is removed. Live temporaries are also removed when
// SIGINT or SIGTERM ends the run (exit code 130) (with the image library's page writers'
// files), and a run removes the ones earlier killed runs left behind.
// O(bytes written).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class AtomicFile {
public:
    // Creates the temporary; throws RunFailure naming the folder and the cause.
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::string& Target() const { return target_; }
    const std::string& TempPath() const { return temp_; }
    // A path that reaches the created file itself whatever happens to its name
    // (/proc/self/fd/N), for writers that only take a path.
    std::string DescriptorPath() const;
    // Appends bytes; throws RunFailure with the cause (a full disk, ...).
    void Write(std::string_view bytes);
    // Flushes, checks that the temporary name still is our file and renames
    // it over the target; throws RunFailure with the failing step's own cause.
    void Commit();

    // Removes live temporaries on SIGINT and SIGTERM, then exits with 130.
    static void InstallSignalCleanup();
    // Publishes another temporary of the run for that cleanup: a file, or a
    // folder (removed with rmdir after every file, so it must hold only
    // tracked files). Answers a ticket for Untrack (-1: the table is full).
    static int Track(const std::string& path, bool folder);
    static void Untrack(int ticket);
    // Whether a file name is one of our temporaries, and the run (pid) that made it.
    static bool IsTemporaryName(const std::string& fileName, long* pid);
    // Removes temporaries in `folder` whose run no longer exists; answers their paths.
    static std::vector<std::string> RemoveStale(const std::string& folder);

private:
    void Discard();
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int slot_ = -1;  // the signal cleanup's record of this temporary
    bool committed_ = false;
};
