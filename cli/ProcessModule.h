// The process module as the command loads it: one dlopen of the shared
// object (beside the executable unless a path is given) for the life of the
// process, and its registration exports. O(1) after the first load.
#pragma once

#include "platform/com/ComTypes.h"

#include <string>

class ProcessModule {
public:
    // Loads the module once per path; later calls answer the loaded one.
    // Throws CliError naming the path and the loader's message.
    static ProcessModule& Load(const std::string& path = "");
    // The module beside the executable (../lib or the same folder).
    static std::string DefaultPath();

    const std::string& Path() const { return path_; }
    HRESULT Register() const { return Call("DllRegisterServer"); }
    HRESULT Unregister() const { return Call("DllUnregisterServer"); }

private:
    ProcessModule(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}
    HRESULT Call(const char* exportName) const;
    std::string path_;
    void* handle_;
};
