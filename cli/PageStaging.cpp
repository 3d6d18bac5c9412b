// Every name inside the private folder is ours (a sequence number), and the
// folder is 0700, so nobody else can place a link there; the input is opened
// read-only and copied into a file created exclusively.
#include "cli/PageStaging.h"

#include "cli/AtomicFile.h"
#include "cli/CliError.h"
#include "cli/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

constexpr std::string_view kFolderPrefix = "leafmend-pages-";

std::string Cause(int err) { return std::strerror(err); }

// Closes a descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Copies the bytes of `from` into the new file `to`; throws RunFailure.
void CopyFile(const std::string& from, const std::string& to) {
    Descriptor in, out;
    in.fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    struct stat info {};
    if (in.fd < 0 || ::fstat(in.fd, &info) != 0)
        throw RunFailure("cannot read " + text::Printable(from) + " again: " + Cause(errno));
    if (!S_ISREG(info.st_mode)) throw RunFailure(text::Printable(from) + " is no longer a regular file");
    out.fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out.fd < 0) throw RunFailure("cannot create " + to + ": " + Cause(errno));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in.fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw RunFailure("cannot read " + text::Printable(from) + " again: " + Cause(errno));
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(out.fd, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) throw RunFailure("cannot write " + to + ": " + Cause(errno));
            done += put;
        }
    }
    if (::close(out.fd) != 0) {
        out.fd = -1;
        throw RunFailure("cannot write " + to + ": " + Cause(errno));
    }
    out.fd = -1;
}

// "leafmend-pages-PID-XXXXXX": the run's pid, or 0 when the name is none of ours.
long FolderPid(const std::string& name) {
    if (!name.starts_with(kFolderPrefix)) return 0;
    const std::size_t digits = kFolderPrefix.size();
    const std::size_t dash = name.find('-', digits);
    if (dash == std::string::npos || dash == digits || dash > digits + 10 || name.size() != dash + 7) return 0;
    long pid = 0;
    for (std::size_t i = digits; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

// Removes the regular files in `folder` (links are removed, never followed), then the folder.
bool RemoveFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    if (DIR* dir = ::fdopendir(fd)) {
        while (const dirent* entry = ::readdir(dir)) {
            struct stat info {};
            if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode))
                ::unlinkat(fd, entry->d_name, 0);
        }
        ::closedir(dir);  // closes fd
    } else {
        ::close(fd);
    }
    return ::rmdir(folder.c_str()) == 0;
}

}  // namespace

PageStaging::PageStaging(std::string parent) : parent_(std::move(parent)) {}

PageStaging::~PageStaging() {
    if (!staged_.empty()) ::unlink(staged_.c_str());
    AtomicFile::Untrack(fileTicket_);
    if (!folder_.empty()) RemoveFolder(folder_);
    AtomicFile::Untrack(folderTicket_);
}

std::string PageStaging::DefaultParent() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// The folder's name is published for the signal cleanup before the folder is
// made (mkdir is exclusive), so no moment exists in which a signal could
// leave it behind.
void PageStaging::MakeFolder() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string parent = parent_.empty() ? DefaultParent() : parent_;
    const std::string prefix = parent + "/" + std::string(kFolderPrefix) + std::to_string(::getpid()) + "-";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = prefix;
        for (int i = 0; i < 6; ++i) path += kLetters[pick(random)];
        const int ticket = AtomicFile::Track(path, true);
        if (::mkdir(path.c_str(), 0700) == 0) {
            folder_ = path;
            folderTicket_ = ticket;
            return;
        }
        const int err = errno;
        AtomicFile::Untrack(ticket);
        if (err != EEXIST)
            throw RunFailure("cannot make a folder for the pages' working copies in " + text::Printable(parent) + ": " +
                             Cause(err));
    }
    throw RunFailure("cannot make a folder for the pages' working copies in " + text::Printable(parent) +
                     ": every name tried exists");
}

bool PageStaging::SinglePage(CZRDocument* document) {
    if (documentPath_.empty() || documentPath_ != document->FilePath()) {
        documentPath_ = document->FilePath();
        format_ = imagefile::Sniff(document->FilePath());
        singlePage_ = format_ != ImageFileFormat::Tiff || imagefile::CountPages(document->FilePath()) == 1;
    }
    return singlePage_;
}

void PageStaging::Stage(CZRPage* page, CZRDocument* document) {
    CZRImage* image = page->Image();
    if (!image || image->Handle() < 0) return;  // no image, no file
    if (folder_.empty()) MakeFolder();
    Release(page, document);
    const bool single = SinglePage(document);
    if (format_ == ImageFileFormat::Unknown)
        throw RunFailure(text::Printable(document->FilePath()) + " can no longer be read as an image");
    const std::string extension = format_ == ImageFileFormat::Tiff  ? ".tif"
                                  : format_ == ImageFileFormat::Png ? ".png"
                                                                    : ".jpg";
    const std::string path = folder_ + "/" + std::to_string(++sequence_) + extension;
    staged_ = path;
    fileTicket_ = AtomicFile::Track(path, false);
    if (single) {
        CopyFile(document->FilePath(), path);
    } else {
        std::string error;
        if (imagefile::SavePages(path, {image->Handle()}, format_, &error) < 0)
            throw RunFailure("cannot write the page's working copy: " + error);
    }
    CComBSTR shown(path);
    image->SetFilePath(shown);
}

void PageStaging::Release(CZRPage* page, CZRDocument* document) {
    if (!staged_.empty()) ::unlink(staged_.c_str());  // gone already when the page was removed
    staged_.clear();
    AtomicFile::Untrack(fileTicket_);
    fileTicket_ = -1;
    if (CZRImage* image = page->Image()) {
        CComBSTR original(document->FilePath());
        image->SetFilePath(original);
    }
}

std::vector<std::string> PageStaging::RemoveStale(const std::string& parent) {
    const std::string where = parent.empty() ? DefaultParent() : parent;
    std::vector<std::string> removed;
    DIR* dir = ::opendir(where.c_str());
    if (!dir) return removed;
    std::vector<std::string> dead;
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = FolderPid(entry->d_name);
        if (pid <= 0 || pid == ::getpid()) continue;
        // A run that still exists (or one we cannot tell about) keeps its folder.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        const std::string path = where + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid())
            dead.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& path : dead)
        if (RemoveFolder(path)) removed.push_back(path);
    return removed;
}
