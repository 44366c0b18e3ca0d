#include "platform/registry_functions_win.h"

#include "platform/handles_win.h"

namespace kestran::platform {

const RegistryFunctions* Registry() {
    static const RegistryFunctions* const functions = SystemFunctions<RegistryFunctions>();
    return functions;
}

void RegistryKeyTraits::Close(HKEY key) {
    // A key exists only once the table has opened it, so the table is there to close it.
    if (const RegistryFunctions* registry = Registry()) registry->RegCloseKey(key);
}

}  // namespace kestran::platform
