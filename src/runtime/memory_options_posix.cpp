#include <sys/resource.h>
#include <unistd.h>

#include "runtime/memory_options.h"

namespace kestran::runtime {

MemoryStatus QueryMemoryStatus() {
    MemoryStatus result;
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) {
        result.totalPhysical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    }
    // Linux has no "available virtual" figure; the user address space of x86-64 (128 TiB)
    // or the address-space limit, whichever is smaller, stands in for it.
    uint64_t addressSpace = uint64_t{1} << 47;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<uint64_t>(limit.rlim_cur) < addressSpace) {
        addressSpace = static_cast<uint64_t>(limit.rlim_cur);
    }
    result.availableVirtual = addressSpace;
    return result;
}

}  // namespace kestran::runtime
