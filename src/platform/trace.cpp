#include "platform/trace.h"

#include <atomic>

#include "platform/console.h"
#include "platform/environment.h"

namespace kestran::platform {

bool TraceEnabled() {
    // Not a guarded local static: the first guard of a process sets up the threading runtime,
    // which a launch with the trace off has no other use for. Threads that race here read the
    // same variable and store the same answer.
    static std::atomic<int> enabled{-1};
    int known = enabled.load(std::memory_order_relaxed);
    if (known < 0) {
        std::wstring value;
        known = GetEnvironmentText(L"KESTRAN_TRACE", value) && !value.empty() ? 1 : 0;
        enabled.store(known, std::memory_order_relaxed);
    }
    return known == 1;
}

void Trace(const std::wstring& line) {
    if (!TraceEnabled()) return;
    WriteStandardError(L"kestran: " + line + L"\n");
}

}  // namespace kestran::platform
