#include <unistd.h>

#include "launcher/launch_steps.h"
#include "launcher/process_environment.h"
#include "platform/text_encoding.h"

namespace kestran::launcher {

void ApplyWorkingDirectory() {
    std::wstring modulePath;
    if (!GetModulePath(modulePath)) return;
    size_t slash = modulePath.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0) return;
    (void)chdir(platform::WideToUtf8(modulePath.substr(0, slash)).c_str());
}

}  // namespace kestran::launcher
