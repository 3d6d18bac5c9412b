// Exclusive temporary files and their commit by rename; see the header.
#include "platform/imagelib/TemporaryFile.h"

#include "platform/imagelib/ImageWrapper.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace imagelib {
namespace {

constexpr char kMarker[] = ".leafmend-";
constexpr int kRandomChars = 6;
constexpr int kSlots = 256;

// Paths of the live temporary files, for RemoveAllNow. A slot is claimed
// with `busy`, filled, then published with `live`.
struct Slot {
    std::atomic<bool> busy{false};
    std::atomic<bool> live{false};
    char path[PATH_MAX];
};
Slot slots[kSlots];

int Claim(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!slots[i].busy.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].live.store(true);
        return i;
    }
    return -1;  // more than kSlots at once: still removed normally, just not by a signal handler
}

void Release(int slot) {
    if (slot < 0) return;
    slots[slot].live.store(false);
    slots[slot].busy.store(false);
}

std::string RandomSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::string suffix;
    for (int i = 0; i < kRandomChars; ++i) suffix += kChars[engine() % (sizeof kChars - 1)];
    return suffix;
}

int WriteStatus(int err) {
    return (err == EACCES || err == EPERM || err == EROFS) ? IMG_FILE_ACCESS_DENIED : IMG_FILE_WRITE_ERROR;
}

}  // namespace

int TemporaryFile::create(const std::string& target, std::string* error) {
    remove();
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        *error = target + ": not a file name";
        return IMG_BAD_ARGUMENT;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + "." + name + kMarker + RandomSuffix();
        // O_EXCL with O_CREAT never follows a link and never opens an existing file.
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            path_ = candidate;
            target_ = target;
            slot_ = Claim(candidate);
            return IMG_OK;
        }
        if (errno != EEXIST) {
            const int err = errno;
            *error =
                "cannot create a file in " + (folder.empty() ? std::string(".") : folder) + ": " + std::strerror(err);
            return WriteStatus(err);
        }
    }
    *error = "cannot find a free temporary name beside " + target;
    return IMG_FILE_WRITE_ERROR;
}

int TemporaryFile::commit(std::string* error) {
    if (fd_ < 0) {
        *error = "no temporary file to commit";
        return IMG_INTERNAL_ERROR;
    }
    const bool synced = ::fsync(fd_) == 0;
    int err = errno;
    const bool closed = ::close(fd_) == 0;
    if (synced) err = errno;
    fd_ = -1;
    if (!synced || !closed) {
        *error = "cannot write " + target_ + ": " + std::strerror(err);
        remove();
        return WriteStatus(err);
    }
    if (::rename(path_.c_str(), target_.c_str()) != 0) {
        err = errno;
        *error = "cannot replace " + target_ + ": " +
                 (err == EISDIR || err == ENOTEMPTY || err == EEXIST ? std::string("a folder has that name")
                                                                     : std::string(std::strerror(err)));
        remove();
        return WriteStatus(err);
    }
    Release(slot_);
    slot_ = -1;
    path_.clear();
    return IMG_OK;
}

void TemporaryFile::remove() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
    Release(slot_);
    slot_ = -1;
}

bool TemporaryFile::IsTemporaryName(const std::string& fileName) {
    const std::size_t marker = fileName.rfind(kMarker);
    if (fileName.size() < 2 || fileName[0] != '.' || marker == std::string::npos || marker < 2) return false;
    const std::size_t start = marker + sizeof kMarker - 1;
    if (fileName.size() - start != kRandomChars) return false;
    for (std::size_t i = start; i < fileName.size(); ++i) {
        const char c = fileName[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

void TemporaryFile::RemoveAllNow() {
    for (Slot& slot : slots) {
        if (slot.live.load()) ::unlink(slot.path);
    }
}

}  // namespace imagelib
