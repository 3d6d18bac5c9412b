// The module stays loaded until exit: its objects may outlive any scope here.
#include "cli/ProcessModule.h"

#include "cli/CliError.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

std::string ProcessModule::DefaultPath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const auto dir = ec ? std::filesystem::current_path() : exe.parent_path();
    for (const auto& candidate : {dir / "../lib/libZRLeafmendClient91.so", dir / "libZRLeafmendClient91.so"})
        if (std::filesystem::exists(candidate, ec)) return std::filesystem::canonical(candidate, ec).string();
    return "libZRLeafmendClient91.so";
}

ProcessModule& ProcessModule::Load(const std::string& requested) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<ProcessModule>> loaded;
    const std::string path = requested.empty() ? DefaultPath() : requested;
    std::lock_guard guard(lock);
    auto found = loaded.find(path);
    if (found != loaded.end()) return *found->second;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) throw CliError("cannot load the process module " + path + ": " + ::dlerror());
    auto module = std::unique_ptr<ProcessModule>(new ProcessModule(path, handle));
    return *loaded.emplace(path, std::move(module)).first->second;
}

HRESULT ProcessModule::Call(const char* exportName) const {
    auto function = reinterpret_cast<HRESULT (*)()>(::dlsym(handle_, exportName));
    return function ? function() : E_UNEXPECTED;
}
