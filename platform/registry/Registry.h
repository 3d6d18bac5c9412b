// HKEY_CLASSES_ROOT as a tree of keys and values. Kept in memory and, unless
// the process chose a volatile registry, persisted to one XML file (path from
// LEAFMEND_REGISTRY, else $XDG_DATA_HOME/leafmend/registry.xml, else
// ~/.local/share/leafmend/registry.xml), written to a temporary file and
// renamed under a file lock. Key names compare without regard to case, as on
// Windows. Paths use '\' between keys. Each call is O(depth · log n); a
// persistent write rewrites the file.
#pragma once

#include "platform/com/ComApi.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ZR_COM_API Registry {
public:
    struct Value {
        enum class Type { String, Dword } type = Type::String;
        std::string text;
        std::uint32_t number = 0;
    };

    static Registry& Instance();

    // Keep every change in memory only (hosts that register their classes per run).
    void SetVolatile(bool isVolatile);
    bool IsVolatile() const;
    // Forgets everything and reloads from the backing file (tests).
    void Reset();
    std::string BackingFile() const;

    bool KeyExists(const std::string& path);
    bool CreateKey(const std::string& path);
    // An empty value name is the key's default value.
    bool SetString(const std::string& path, const std::string& name, const std::string& value);
    bool SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    std::optional<Value> GetValue(const std::string& path, const std::string& name);
    std::optional<std::string> GetString(const std::string& path, const std::string& name);
    std::vector<std::string> SubKeys(const std::string& path);
    // Removes the key and everything below it; false when it did not exist.
    bool DeleteTree(const std::string& path);
    bool DeleteValue(const std::string& path, const std::string& name);
    // Saves when persistent; a failure leaves the file as it was.
    bool Flush();

private:
    Registry();
    struct Node;
    Node* Find(const std::string& path, bool create);
    void LoadLocked();
    bool SaveLocked();

    mutable std::recursive_mutex mutex_;
    struct Impl;
    Impl* impl_;
};
