// Page files through POSIX calls.
#include "processes/geometry/PageFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace pagefile {

bool SizeOf(const std::string& path, std::int32_t* bytes) {
    if (path.empty()) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) return false;
    if (info.st_size < 0 || info.st_size > INT32_MAX) return false;
    *bytes = static_cast<std::int32_t>(info.st_size);
    return true;
}

void Delete(const std::string& path) {
    if (path.empty()) return;
    // unlink never removes a folder (EISDIR), as a file deletion should not.
    (void)::unlink(path.c_str());
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace pagefile
