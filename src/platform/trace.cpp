#include "platform/trace.h"

#include "platform/console.h"
#include "platform/environment.h"

namespace kestran::platform {

bool TraceEnabled() {
    static const bool enabled = [] {
        std::wstring value;
        return GetEnvironmentText(L"KESTRAN_TRACE", value) && !value.empty();
    }();
    return enabled;
}

void Trace(const std::wstring& line) {
    if (!TraceEnabled()) return;
    WriteStandardError(L"kestran: " + line + L"\n");
}

}  // namespace kestran::platform
