#include <windows.h>

#include "launcher/launch_steps.h"
#include "launcher/process_environment.h"
#include "launcher/working_directory.h"
#include "platform/decimal_text.h"
#include "platform/trace.h"

namespace kestran::launcher {

void ApplyWorkingDirectory() {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return;
    std::wstring folder;
    if (!WorkingDirectoryFor(modulePath, folder)) return;
    BOOL changed = SetCurrentDirectoryW(folder.c_str());
    if (platform::TraceEnabled()) {
        DWORD error = changed ? 0 : GetLastError();
        platform::Trace(L"working directory " + folder +
                        (changed ? std::wstring(L": set") : L": not set, error " + platform::DecimalText(error)));
    }
}

}  // namespace kestran::launcher
