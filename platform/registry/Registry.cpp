// In-memory key tree with XML persistence through pugixml: locked
// read-modify-write cycles, exclusive temporary files, damaged files refused.
#include "platform/registry/Registry.h"

#include "platform/com/ComPtr.h"
#include "platform/com/ErrorInfo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <utility>

namespace {

// Deeper key nesting in a file is taken for damage (keeps every walk bounded).
constexpr int kMaxFileDepth = 256;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

std::string ErrnoText(int error) { return std::strerror(error); }

// Identity of the file's current version: a rename gives a new inode.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
    return stamp;
}

// Line (1-based) of a byte offset.
long LineOf(const std::string& text, std::ptrdiff_t offset) {
    const auto end = text.begin() + std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    return 1 + static_cast<long>(std::count(text.begin(), end, '\n'));
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class FileLock {
public:
    ~FileLock() { Release(); }
    // Waits for the exclusive lock on `path` (created if missing, never through a link).
    bool Acquire(const std::string& path, std::string* error) {
        fd_ = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd_ < 0) {
            *error = "cannot open the lock file " + path + ": " + ErrnoText(errno);
            return false;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            *error = "cannot lock " + path + ": " + ErrnoText(errno);
            Release();
            return false;
        }
        return true;
    }
    void Release() {
        if (fd_ < 0) return;
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

}  // namespace

struct Registry::Node {
    std::string name;
    std::map<std::string, Value> values;                    // keyed by lower-case name
    std::map<std::string, std::string> valueNames;          // lower-case -> as written
    std::map<std::string, std::unique_ptr<Node>> children;  // keyed by lower-case name

    Node* Find(const std::string& path, bool create) {
        Node* node = this;
        for (const std::string& part : SplitPath(path)) {
            auto it = node->children.find(Lower(part));
            if (it == node->children.end()) {
                if (!create) return nullptr;
                auto fresh = std::make_unique<Node>();
                fresh->name = part;
                it = node->children.emplace(Lower(part), std::move(fresh)).first;
            }
            node = it->second.get();
        }
        return node;
    }

    void Set(const std::string& name, const Value& value) {
        values[Lower(name)] = value;
        valueNames[Lower(name)] = name;
    }
};

namespace {

using Node = Registry::Node;

// Reads the registry file into `root`. A missing file is an empty registry;
// anything else that is not a complete registry file is refused.
bool ReadRegistryFile(const std::string& path, Node& root, std::string* error) {
    root = Node{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        if (errno == EISDIR)
            *error = "the registry " + path + " is a folder, not a file";
        else
            *error = "cannot read the registry " + path + ": " + ErrnoText(errno);
        return false;
    }
    struct stat info {};
    std::string text;
    bool readOk = ::fstat(fd, &info) == 0;
    if (readOk && S_ISDIR(info.st_mode)) {
        ::close(fd);
        *error = "the registry " + path + " is a folder, not a file";
        return false;
    }
    if (readOk && !S_ISREG(info.st_mode)) {
        ::close(fd);
        *error = "the registry " + path + " is not a regular file";
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readOk = false;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const int readErrno = errno;
    ::close(fd);
    if (!readOk) {
        *error = "cannot read the registry " + path + ": " + ErrnoText(readErrno);
        return false;
    }
    const std::string refused = "the registry " + path + " is damaged and was left unchanged: ";
    if (text.empty()) {
        *error = refused + "the file is empty";
        return false;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed) {
        *error = refused + parsed.description() + " at line " + std::to_string(LineOf(text, parsed.offset));
        return false;
    }
    const pugi::xml_node top = doc.document_element();
    if (std::string_view(top.name()) != "Registry") {
        *error = refused + "its root element is <" + top.name() + ">, not <Registry>";
        return false;
    }
    // Iterative walk: (element, key, depth).
    std::vector<std::tuple<pugi::xml_node, Node*, int>> pending{{top, &root, 0}};
    while (!pending.empty()) {
        auto [xml, node, depth] = pending.back();
        pending.pop_back();
        for (pugi::xml_node child : xml.children()) {
            const std::string_view tag = child.name();
            const std::string name = child.attribute("name").as_string();
            if (tag == "Value") {
                Registry::Value value;
                if (std::string_view(child.attribute("type").as_string()) == "dword") {
                    value.type = Registry::Value::Type::Dword;
                    value.number = static_cast<std::uint32_t>(std::strtoul(child.text().as_string(), nullptr, 10));
                } else {
                    value.text = child.text().as_string();
                }
                node->Set(name, value);
            } else if (tag == "Key" && !name.empty()) {
                if (depth + 1 > kMaxFileDepth) {
                    *error = refused + "keys nested deeper than " + std::to_string(kMaxFileDepth) + " levels";
                    root = Node{};
                    return false;
                }
                auto& slot = node->children[Lower(name)];
                if (!slot) slot = std::make_unique<Node>();
                slot->name = name;
                pending.emplace_back(child, slot.get(), depth + 1);
            }
        }
    }
    return true;
}

std::string Serialise(const Node& root) {
    pugi::xml_document doc;
    pugi::xml_node top = doc.append_child("Registry");
    std::vector<std::pair<pugi::xml_node, const Node*>> pending{{top, &root}};
    while (!pending.empty()) {
        auto [xml, node] = pending.back();
        pending.pop_back();
        for (const auto& [key, value] : node->values) {
            pugi::xml_node v = xml.append_child("Value");
            v.append_attribute("name") = node->valueNames.at(key).c_str();
            if (value.type == Registry::Value::Type::Dword) {
                v.append_attribute("type") = "dword";
                v.text() = std::to_string(value.number).c_str();
            } else {
                v.text() = value.text.c_str();
            }
        }
        for (const auto& [key, child] : node->children) {
            pugi::xml_node k = xml.append_child("Key");
            k.append_attribute("name") = child->name.c_str();
            pending.emplace_back(k, child.get());
        }
    }
    std::ostringstream out;
    doc.save(out, "\t");
    return out.str();
}

// Replaces the registry file with `root`: a temporary file created
// exclusively beside it (never through a link), synced, then renamed.
bool WriteRegistryFile(const std::string& path, const Node& root, std::string* error) {
    const std::filesystem::path file(path);
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    struct stat info {};
    mode_t mode = 0644;
    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            *error = "the registry " + path + " is a folder, not a file";
            return false;
        }
        // The permission bits decide, also for a caller who could override them.
        if ((info.st_mode & 0222) == 0) {
            *error = "the registry " + path + " is read-only; it was left unchanged";
            return false;
        }
        mode = info.st_mode & 07777;
    }
    std::string temp = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot write the registry " + path + ": cannot create a file in " + folder.string() + ": " +
                 ErrnoText(errno);
        return false;
    }
    const std::string bytes = Serialise(root);
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int cause = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        cause = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        cause = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        *error = "cannot write the registry " + path + ": " + ErrnoText(cause) + "; it was left unchanged";
        return false;
    }
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

struct Registry::Impl {
    bool isVolatile = false;
    Node memory;  // the registry in volatile mode
    // Persistent mode: the file as last read (plus the session values) ...
    Node cache;
    std::string cachePath;
    FileStamp cacheStamp;
    bool cacheValid = false;
    // ... and the open batch: the file read under its lock, changed in place.
    int depth = 0;
    Node work;
    std::string workPath;
    bool workOk = false;
    bool workChanged = false;
    FileLock lock;

    struct SessionValue {
        std::string path, name, value;
    };
    std::vector<SessionValue> session;
    std::string lastError;
    bool failedSinceFlush = false;

    void ApplySession(Node& root) const {
        for (const SessionValue& entry : session) {
            Value value;
            value.text = entry.value;
            root.Find(entry.path, true)->Set(entry.name, value);
        }
    }
};

Registry::Registry() : impl_(new Impl) {}

Registry& Registry::Instance() {
    static Registry* registry = new Registry();  // lives for the whole process
    return *registry;
}

std::string Registry::BackingFile() const {
    if (const char* env = std::getenv("LEAFMEND_REGISTRY"); env && *env) return env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/leafmend/registry.xml";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/leafmend/registry.xml";
}

void Registry::SetVolatile(bool isVolatile) {
    std::lock_guard lock(mutex_);
    impl_->isVolatile = isVolatile;
}

bool Registry::IsVolatile() const {
    std::lock_guard lock(mutex_);
    return impl_->isVolatile;
}

void Registry::Reset() {
    std::lock_guard lock(mutex_);
    impl_->session.clear();
    impl_->memory = Node{};
    impl_->cache = Node{};
    impl_->cacheValid = false;
    impl_->lastError.clear();
    impl_->failedSinceFlush = false;
}

void Registry::SetSessionString(const std::string& path, const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    impl_->session.push_back(Impl::SessionValue{path, name, value});
    Value v;
    v.text = value;
    impl_->memory.Find(path, true)->Set(name, v);
    if (impl_->cacheValid) impl_->cache.Find(path, true)->Set(name, v);
}

std::string Registry::LastError() const {
    std::lock_guard lock(mutex_);
    return impl_->lastError;
}

void Registry::FailLocked(const std::string& message) {
    impl_->lastError = message;
    impl_->failedSinceFlush = true;
    // Callers such as DllRegisterServer only return an HRESULT: the reason
    // travels as the thread's error information.
    CComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
        std::u16string text = Utf8ToUtf16(message);
        create->SetDescription(text.data());
        CComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.QueryInterface(&info))) SetErrorInfo(0, info);
    }
}

Registry::Node& Registry::ReadRootLocked() {
    if (impl_->isVolatile) return impl_->memory;
    if (impl_->depth > 0 && impl_->workOk) return impl_->work;
    const std::string path = BackingFile();
    const FileStamp stamp = StampOf(path);
    if (impl_->cacheValid && impl_->cachePath == path && impl_->cacheStamp == stamp) return impl_->cache;
    std::string error;
    if (!ReadRegistryFile(path, impl_->cache, &error)) impl_->lastError = error;  // reads see an empty registry
    impl_->ApplySession(impl_->cache);
    impl_->cachePath = path;
    impl_->cacheStamp = stamp;
    impl_->cacheValid = true;
    return impl_->cache;
}

bool Registry::BeginLocked() {
    if (impl_->depth++ > 0) return impl_->workOk;
    impl_->workPath = BackingFile();
    impl_->workOk = false;
    impl_->workChanged = false;
    const std::string& path = impl_->workPath;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            FailLocked("cannot create the folder of the registry " + path + ": " + ec.message());
            return false;
        }
    }
    std::string error;
    if (std::filesystem::is_directory(path, ec)) {
        FailLocked("the registry " + path + " is a folder, not a file");
        return false;
    }
    if (!impl_->lock.Acquire(path + ".lock", &error) || !ReadRegistryFile(path, impl_->work, &error)) {
        impl_->lock.Release();
        FailLocked(error);
        return false;
    }
    impl_->workOk = true;
    return true;
}

bool Registry::EndLocked() {
    if (--impl_->depth > 0) return impl_->workOk;
    bool ok = impl_->workOk;
    if (ok && impl_->workChanged) {
        std::string error;
        ok = WriteRegistryFile(impl_->workPath, impl_->work, &error);
        if (!ok) FailLocked(error);
    }
    if (ok) {
        // What we just wrote is what readers see next.
        impl_->cache = std::move(impl_->work);
        impl_->ApplySession(impl_->cache);
        impl_->cachePath = impl_->workPath;
        impl_->cacheStamp = StampOf(impl_->workPath);
        impl_->cacheValid = true;
    }
    impl_->lock.Release();
    impl_->work = Node{};
    impl_->workOk = false;
    impl_->workChanged = false;
    return ok;
}

template <class Change>
bool Registry::ChangeLocked(Change&& change) {
    if (impl_->isVolatile) return change(impl_->memory);
    // Outside a batch this is a batch of its own; inside one, Begin and End
    // only count the nesting.
    const bool began = BeginLocked();
    bool changed = false;
    if (began) {
        changed = change(impl_->work);
        impl_->workChanged |= changed;
    }
    const bool ended = EndLocked();
    return began && ended && changed;
}

Registry::Batch::Batch(Registry& registry) : registry_(registry) {
    registry_.mutex_.lock();
    began_ = !registry_.impl_->isVolatile;  // a volatile registry has no file to lock
    if (began_) ok_ = registry_.BeginLocked();
}

Registry::Batch::~Batch() {
    if (open_) Commit();
}

bool Registry::Batch::Commit() {
    if (!open_) return ok_;
    open_ = false;
    if (began_) ok_ = registry_.EndLocked() && ok_;
    registry_.mutex_.unlock();
    return ok_;
}

bool Registry::KeyExists(const std::string& path) {
    std::lock_guard lock(mutex_);
    return ReadRootLocked().Find(path, false) != nullptr;
}

bool Registry::CreateKey(const std::string& path) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](Node& root) {
        root.Find(path, true);
        return true;
    });
}

bool Registry::SetString(const std::string& path, const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](Node& root) {
        Value v;
        v.text = value;
        root.Find(path, true)->Set(name, v);
        return true;
    });
}

bool Registry::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](Node& root) {
        Value v;
        v.type = Value::Type::Dword;
        v.number = value;
        root.Find(path, true)->Set(name, v);
        return true;
    });
}

std::optional<Registry::Value> Registry::GetValue(const std::string& path, const std::string& name) {
    std::lock_guard lock(mutex_);
    Node* node = ReadRootLocked().Find(path, false);
    if (!node) return std::nullopt;
    auto it = node->values.find(Lower(name));
    if (it == node->values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> Registry::GetString(const std::string& path, const std::string& name) {
    auto v = GetValue(path, name);
    if (!v) return std::nullopt;
    if (v->type == Value::Type::Dword) return std::to_string(v->number);
    return v->text;
}

std::vector<std::string> Registry::SubKeys(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    if (Node* node = ReadRootLocked().Find(path, false))
        for (const auto& [key, child] : node->children) names.push_back(child->name);
    return names;
}

bool Registry::DeleteTree(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return false;
    const std::string leaf = Lower(parts.back());
    parts.pop_back();
    std::string parentPath;
    for (const auto& p : parts) parentPath += p + "\\";
    return ChangeLocked([&](Node& root) {
        Node* parent = root.Find(parentPath, false);
        return parent && parent->children.erase(leaf) != 0;
    });
}

bool Registry::DeleteValue(const std::string& path, const std::string& name) {
    std::lock_guard lock(mutex_);
    return ChangeLocked([&](Node& root) {
        Node* node = root.Find(path, false);
        if (!node || node->values.erase(Lower(name)) == 0) return false;
        node->valueNames.erase(Lower(name));
        return true;
    });
}

bool Registry::Flush() {
    std::lock_guard lock(mutex_);
    return !std::exchange(impl_->failedSinceFlush, false);
}
