#include <windows.h>

#include "runtime/memory_options.h"

namespace kestran::runtime {

MemoryStatus QueryMemoryStatus() {
    // The Ex form: GlobalMemoryStatus reports saturated values on machines with more than
    // 4 GB in some configurations, while the Ex fields are 64-bit everywhere.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    MemoryStatus result;
    if (GlobalMemoryStatusEx(&status)) {
        result.totalPhysical = status.ullTotalPhys;
        result.availableVirtual = status.ullAvailVirtual;
    }
    return result;
}

}  // namespace kestran::runtime
