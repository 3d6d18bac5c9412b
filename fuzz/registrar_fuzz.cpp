// Fuzzes registration scripts: parse and run in both modes against a
// volatile registry that is emptied after every input.
#include "platform/registry/Registrar.h"
#include "platform/registry/Registry.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Registry& registry = Registry::Instance();
    registry.SetVolatile(true);
    const std::string script(reinterpret_cast<const char*>(data), size);
    Registrar registrar;
    registrar.AddReplacement("MODULE", "/usr/lib/libdemo.so");
    registrar.AddReplacement("APPID", "{D57F4EC6-B39D-4E8F-998D-29247B705E97}");
    if (registrar.Run(script, Registrar::Mode::Register)) registrar.Run(script, Registrar::Mode::Unregister);
    registry.Reset();
    return 0;
}
