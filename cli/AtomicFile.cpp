// The signal handler only calls unlink and rmdir on paths published in a fixed
// table, which is async-signal-safe; the table is filled outside the handler.
#include "cli/AtomicFile.h"

#include "cli/CliError.h"
#include "platform/imagelib/ImageWrapper.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

constexpr std::string_view kMarker = ".leafmend-";
constexpr std::size_t kSlots = 512;
constexpr std::size_t kPathMax = 4096;

// Temporaries alive now, for the signal handler.
struct Slot {
    std::atomic<bool> live{false};
    bool folder = false;
    char path[kPathMax];
};
std::array<Slot, kSlots> gSlots;
std::mutex gSlotLock;

int Publish(const std::string& path, bool folder = false) {
    if (path.size() >= kPathMax) return -1;
    std::lock_guard guard(gSlotLock);
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (gSlots[i].live.load()) continue;
        gSlots[i].folder = folder;
        std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
        gSlots[i].live.store(true);
        return static_cast<int>(i);
    }
    return -1;  // more live files than slots: this one is not removed on a signal
}

void Withdraw(int slot) {
    if (slot >= 0) gSlots[static_cast<std::size_t>(slot)].live.store(false);
}

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (Slot& slot : gSlots)
        if (slot.live.load() && !slot.folder) ::unlink(slot.path);
    imagefile::RemoveTemporaryFilesNow();  // the page writers' files
    for (Slot& slot : gSlots)
        if (slot.live.load() && slot.folder) ::rmdir(slot.path);  // emptied above
    (void)signal;
    ::_exit(130);  // "interrupted", for SIGTERM as for SIGINT
}

std::string Cause(int err) { return std::strerror(err); }

// Whether any process has the file open (its names carry no run id): looks
// through every process's open descriptors for the same file.
bool OpenByAnyProcess(const std::string& path) {
    struct stat wanted {};
    if (::stat(path.c_str(), &wanted) != 0) return false;
    DIR* processes = ::opendir("/proc");
    if (!processes) return true;  // cannot tell: keep it
    bool open = false;
    while (const dirent* process = ::readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9') continue;
        const std::string fds = std::string("/proc/") + process->d_name + "/fd";
        DIR* descriptors = ::opendir(fds.c_str());
        if (!descriptors) continue;
        while (const dirent* fd = ::readdir(descriptors)) {
            struct stat seen {};
            if (fd->d_name[0] != '.' && ::stat((fds + "/" + fd->d_name).c_str(), &seen) == 0 &&
                seen.st_dev == wanted.st_dev && seen.st_ino == wanted.st_ino) {
                open = true;
                break;
            }
        }
        ::closedir(descriptors);
        if (open) break;
    }
    ::closedir(processes);
    return open;
}

// The mode a file created the ordinary way would get (0666 less the umask).
// Read once, before any of our files exists: every creation passes here first.
mode_t OrdinaryMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
    const mode_t mode = OrdinaryMode();
    const std::filesystem::path path(target_);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    std::string pattern =
        folder + "/." + path.filename().string() + std::string(kMarker) + std::to_string(::getpid()) + "-XXXXXX";
    // mkostemp opens with O_CREAT | O_EXCL: an existing name, a link included, is never opened.
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) throw RunFailure("cannot create a file in " + folder + ": " + Cause(errno));
    temp_ = pattern;
    slot_ = Publish(temp_);
    ::fchmod(fd_, mode);  // mkostemp creates 0600
}

AtomicFile::~AtomicFile() {
    if (!committed_) Discard();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    Withdraw(slot_);
    slot_ = -1;
}

std::string AtomicFile::DescriptorPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

void AtomicFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw RunFailure("cannot write " + target_ + ": " + Cause(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFile::Commit() {
    struct stat ours {};
    struct stat named {};
    if (::fsync(fd_) != 0 || ::fstat(fd_, &ours) != 0)
        throw RunFailure("cannot write " + target_ + ": " + Cause(errno));
    if (::close(fd_) != 0) {
        fd_ = -1;
        throw RunFailure("cannot write " + target_ + ": " + Cause(errno));
    }
    fd_ = -1;
    if (::lstat(temp_.c_str(), &named) != 0 || named.st_dev != ours.st_dev || named.st_ino != ours.st_ino)
        throw RunFailure("cannot write " + target_ + ": the temporary file " + temp_ + " was replaced");
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throw RunFailure("cannot write " + target_ + ": " + Cause(errno));
    committed_ = true;
    Withdraw(slot_);
    slot_ = -1;
}

void AtomicFile::InstallSignalCleanup() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int AtomicFile::Track(const std::string& path, bool folder) { return Publish(path, folder); }

void AtomicFile::Untrack(int ticket) { Withdraw(ticket); }

bool AtomicFile::IsTemporaryName(const std::string& fileName, long* pid) {
    // ".NAME.leafmend-PID-XXXXXX"
    if (fileName.empty() || fileName[0] != '.') return false;
    const std::size_t marker = fileName.rfind(kMarker);
    if (marker == std::string::npos || marker == 0) return false;
    const std::size_t digits = marker + kMarker.size();
    const std::size_t dash = fileName.find('-', digits);
    if (dash == std::string::npos || dash == digits || dash > digits + 10 || fileName.size() != dash + 7) return false;
    long value = 0;
    for (std::size_t i = digits; i < dash; ++i) {
        if (fileName[i] < '0' || fileName[i] > '9') return false;
        value = value * 10 + (fileName[i] - '0');
    }
    if (pid) *pid = value;
    return true;
}

std::vector<std::string> AtomicFile::RemoveStale(const std::string& folder) {
    std::vector<std::string> removed;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return removed;
    while (const dirent* entry = ::readdir(dir)) {
        long pid = 0;
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        if (IsTemporaryName(name, &pid)) {
            // A run that still exists (another leafmend writing here) keeps its files.
            if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        } else if (!imagefile::IsTemporaryFileName(name) || OpenByAnyProcess(path)) {
            continue;  // not ours, or a page writer of a live run is still writing it
        }
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) &&
            ::unlink(path.c_str()) == 0)
            removed.push_back(path);
    }
    ::closedir(dir);
    return removed;
}
