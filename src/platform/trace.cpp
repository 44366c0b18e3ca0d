#include "platform/trace.h"

#include <atomic>
#include <mutex>

#include "platform/console.h"
#include "platform/environment.h"
#include "platform/trace_file.h"

namespace kestran::platform {
namespace {

enum TraceState : int { kUnknown = -1, kOff = 0, kStandardError = 1, kFile = 2 };

std::atomic<int> state{kUnknown};
// Serialises the writes to the file, so that lines of two threads never interleave; the
// path is written once, before the state says kFile.
std::mutex fileLock;
std::wstring filePath;

int ReadState() {
    std::wstring value;
    if (!GetEnvironmentText(L"KESTRAN_TRACE", value) || value.empty()) return kOff;
    if (!TraceValueNamesFile(value)) return kStandardError;
    std::lock_guard<std::mutex> guard(fileLock);
    // Resolved now: "Override WorkingDir" may change the working directory later.
    if (filePath.empty()) filePath = TraceFileFullPath(value);
    return kFile;
}

}  // namespace

bool TraceValueNamesFile(const std::wstring& value) { return value.find_first_of(L"\\/:") != std::wstring::npos; }

bool TraceEnabled() {
    // Not a guarded local static: the first guard of a process sets up the threading runtime,
    // which a launch with the trace off has no other use for. Threads that race here read the
    // same variable and store the same answer.
    int known = state.load(std::memory_order_acquire);
    if (known == kUnknown) {
        known = ReadState();
        state.store(known, std::memory_order_release);
    }
    return known != kOff;
}

bool TraceOnStandardError() { return TraceEnabled() && state.load(std::memory_order_acquire) == kStandardError; }

void Trace(const std::wstring& line) {
    if (!TraceEnabled()) return;
    const std::wstring text = L"kestran: " + line + L"\n";
    if (state.load(std::memory_order_acquire) == kFile) {
        std::lock_guard<std::mutex> guard(fileLock);
        if (AppendTraceText(filePath, text)) return;
    }
    // A file that cannot be written must not swallow the trace.
    WriteStandardError(text);
}

}  // namespace kestran::platform
