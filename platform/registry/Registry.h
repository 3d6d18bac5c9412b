// HKEY_CLASSES_ROOT as a tree of keys and values. Kept in memory and, unless
// the process chose a volatile registry, persisted to one XML file (path from
// LEAFMEND_REGISTRY, else $XDG_DATA_HOME/leafmend/registry.xml, else
// ~/.local/share/leafmend/registry.xml).
//
// Every persistent change is one read-modify-write of the file under an
// exclusive lock on FILE.lock: the file is read afresh, changed, written to a
// temporary file created exclusively in the same folder and renamed over it,
// so writers in several processes lose no update and readers never see half a
// file. A Batch makes several changes one such cycle. A file that does not
// parse is refused (with its path and the parse error) and never written.
// Reads answer from a copy that is reloaded when the file changes.
//
// Key names compare without regard to case, as on Windows. Paths use '\'
// between keys. Each call is O(depth · log n) in memory; a persistent change
// reads and rewrites the file, O(file size).
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

    // Keep every change in memory only (hosts that register their classes per
    // run); the file is then neither read nor written.
    void SetVolatile(bool isVolatile);
    bool IsVolatile() const;
    // Forgets everything held in memory, session values included (the file
    // is read again on next use).
    void Reset();
    std::string BackingFile() const;

    // A value the running process provides for itself (its own classes):
    // visible in both modes, never written to the file.
    void SetSessionString(const std::string& path, const std::string& name, const std::string& value);

    bool KeyExists(const std::string& path);
    bool CreateKey(const std::string& path);
    // An empty value name is the key's default value.
    bool SetString(const std::string& path, const std::string& name, const std::string& value);
    bool SetDword(const std::string& path, const std::string& name, std::uint32_t value);
    std::optional<Value> GetValue(const std::string& path, const std::string& name);
    std::optional<std::string> GetString(const std::string& path, const std::string& name);
    std::vector<std::string> SubKeys(const std::string& path);
    // Removes the key and everything below it; false when it did not exist
    // (or could not be removed from the file).
    bool DeleteTree(const std::string& path);
    bool DeleteValue(const std::string& path, const std::string& name);
    // False when a persistent change failed since the last Flush (LastError
    // says why); every successful change is already in the file.
    bool Flush();
    // Why the last persistent change or read failed, naming the file; "".
    std::string LastError() const;

    // Groups the changes made while it lives into one read-modify-write of
    // the file: the file is locked and read when the outermost batch begins
    // and written once when it commits. Batches nest; only the outermost one
    // touches the file. Holds the registry for this thread meanwhile.
    struct Node;  // a key: its values and subkeys

    class ZR_COM_API Batch {
    public:
        explicit Batch(Registry& registry);
        ~Batch();  // commits when Commit was not called
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // False when the file could not be read or written (LastError says why).
        bool Commit();

    private:
        Registry& registry_;
        bool open_ = true;
        bool began_ = false;
        bool ok_ = true;
    };

private:
    Registry();
    struct Impl;
    // The tree that reads see, refreshed from the file when it changed.
    Node& ReadRootLocked();
    // Applies change to the right tree; persistent changes outside a batch
    // run as a batch of their own. change answers whether it changed anything.
    template <class Change>
    bool ChangeLocked(Change&& change);
    bool BeginLocked();
    bool EndLocked();
    void FailLocked(const std::string& message);

    mutable std::recursive_mutex mutex_;
    Impl* impl_;
};
