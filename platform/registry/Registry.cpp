// In-memory key tree with XML persistence through pugixml.
#include "platform/registry/Registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

namespace {
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
}  // namespace

struct Registry::Node {
    std::string name;
    std::map<std::string, Value> values;                    // keyed by lower-case name
    std::map<std::string, std::string> valueNames;          // lower-case -> as written
    std::map<std::string, std::unique_ptr<Node>> children;  // keyed by lower-case name
};

struct Registry::Impl {
    Node root;
    bool loaded = false;
    bool isVolatile = false;
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
    impl_->root = Node{};
    impl_->loaded = false;
}

void Registry::LoadLocked() {
    if (impl_->loaded) return;
    impl_->loaded = true;
    if (impl_->isVolatile) return;
    pugi::xml_document doc;
    if (!doc.load_file(BackingFile().c_str())) return;
    struct Loader {
        static void Read(const pugi::xml_node& xml, Node& node) {
            for (pugi::xml_node child : xml.children()) {
                if (std::string(child.name()) == "Value") {
                    Value v;
                    const std::string name = child.attribute("name").as_string();
                    if (std::string(child.attribute("type").as_string()) == "dword") {
                        v.type = Value::Type::Dword;
                        v.number = static_cast<std::uint32_t>(std::strtoul(child.text().as_string(), nullptr, 10));
                    } else {
                        v.text = child.text().as_string();
                    }
                    node.values[Lower(name)] = v;
                    node.valueNames[Lower(name)] = name;
                } else if (std::string(child.name()) == "Key") {
                    const std::string name = child.attribute("name").as_string();
                    if (name.empty()) continue;
                    auto& slot = node.children[Lower(name)];
                    if (!slot) slot = std::make_unique<Node>();
                    slot->name = name;
                    Read(child, *slot);
                }
            }
        }
    };
    Loader::Read(doc.child("Registry"), impl_->root);
}

bool Registry::SaveLocked() {
    if (impl_->isVolatile) return true;
    const std::string file = BackingFile();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    pugi::xml_document doc;
    pugi::xml_node top = doc.append_child("Registry");
    struct Writer {
        static void Write(pugi::xml_node xml, const Node& node) {
            for (const auto& [key, value] : node.values) {
                pugi::xml_node v = xml.append_child("Value");
                v.append_attribute("name") = node.valueNames.at(key).c_str();
                if (value.type == Value::Type::Dword) {
                    v.append_attribute("type") = "dword";
                    v.text() = std::to_string(value.number).c_str();
                } else {
                    v.text() = value.text.c_str();
                }
            }
            for (const auto& [key, child] : node.children) {
                pugi::xml_node k = xml.append_child("Key");
                k.append_attribute("name") = child->name.c_str();
                Write(k, *child);
            }
        }
    };
    Writer::Write(top, impl_->root);
    const std::string lockPath = file + ".lock";
    int lockFd = ::open(lockPath.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lockFd >= 0) ::flock(lockFd, LOCK_EX);
    const std::string temp = file + ".tmp." + std::to_string(::getpid());
    bool ok = doc.save_file(temp.c_str(), "\t");
    if (ok) ok = std::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    if (lockFd >= 0) {
        ::flock(lockFd, LOCK_UN);
        ::close(lockFd);
    }
    return ok;
}

Registry::Node* Registry::Find(const std::string& path, bool create) {
    LoadLocked();
    Node* node = &impl_->root;
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

bool Registry::KeyExists(const std::string& path) {
    std::lock_guard lock(mutex_);
    return Find(path, false) != nullptr;
}

bool Registry::CreateKey(const std::string& path) {
    std::lock_guard lock(mutex_);
    Find(path, true);
    return SaveLocked();
}

bool Registry::SetString(const std::string& path, const std::string& name, const std::string& value) {
    std::lock_guard lock(mutex_);
    Node* node = Find(path, true);
    Value v;
    v.text = value;
    node->values[Lower(name)] = v;
    node->valueNames[Lower(name)] = name;
    return SaveLocked();
}

bool Registry::SetDword(const std::string& path, const std::string& name, std::uint32_t value) {
    std::lock_guard lock(mutex_);
    Node* node = Find(path, true);
    Value v;
    v.type = Value::Type::Dword;
    v.number = value;
    node->values[Lower(name)] = v;
    node->valueNames[Lower(name)] = name;
    return SaveLocked();
}

std::optional<Registry::Value> Registry::GetValue(const std::string& path, const std::string& name) {
    std::lock_guard lock(mutex_);
    Node* node = Find(path, false);
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
    if (Node* node = Find(path, false))
        for (const auto& [key, child] : node->children) names.push_back(child->name);
    return names;
}

bool Registry::DeleteTree(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::vector<std::string> parts = SplitPath(path);
    if (parts.empty()) return false;
    const std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const auto& p : parts) parentPath += p + "\\";
    Node* parent = Find(parentPath, false);
    if (!parent || parent->children.erase(Lower(leaf)) == 0) return false;
    SaveLocked();
    return true;
}

bool Registry::DeleteValue(const std::string& path, const std::string& name) {
    std::lock_guard lock(mutex_);
    Node* node = Find(path, false);
    if (!node || node->values.erase(Lower(name)) == 0) return false;
    node->valueNames.erase(Lower(name));
    SaveLocked();
    return true;
}

bool Registry::Flush() {
    std::lock_guard lock(mutex_);
    LoadLocked();
    return SaveLocked();
}
