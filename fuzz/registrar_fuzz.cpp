// Fuzzes registration scripts: parse and run in both modes against a
// volatile registry that is emptied after every input. Checks that a script
// that does not parse changes nothing, and that registering twice leaves
// the same keys as registering once.
#include "platform/registry/Registrar.h"
#include "platform/registry/Registry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Every key path below `path`, depth first (bounded by the registrar's nesting limit).
void CollectKeys(Registry& registry, const std::string& path, std::vector<std::string>* keys) {
    for (const std::string& child : registry.SubKeys(path)) {
        const std::string full = path.empty() ? child : path + "\\" + child;
        keys->push_back(full);
        CollectKeys(registry, full, keys);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Registry& registry = Registry::Instance();
    registry.SetVolatile(true);
    registry.Reset();
    const std::string script(reinterpret_cast<const char*>(data), size);
    Registrar registrar;
    registrar.AddReplacement("MODULE", "/usr/lib/libdemo.so");
    registrar.AddReplacement("APPID", "{D57F4EC6-B39D-4E8F-998D-29247B705E97}");
    std::string error;
    if (!registrar.Run(script, Registrar::Mode::Register, &error)) {
        if (error.empty() || !registry.SubKeys("").empty()) __builtin_trap();  // refused scripts change nothing
        return 0;
    }
    std::vector<std::string> once, twice;
    CollectKeys(registry, "", &once);
    if (!registrar.Run(script, Registrar::Mode::Register)) __builtin_trap();
    CollectKeys(registry, "", &twice);
    if (once != twice) __builtin_trap();
    registrar.Run(script, Registrar::Mode::Unregister);
    registry.Reset();
    return 0;
}
