#include "launcher/failure_report.h"

#include "launcher/launch_steps.h"
#include "platform/error_report.h"

namespace kestran::launcher {

std::wstring FailureTitle(const Launcher* launcher) {
    if (launcher != nullptr && !launcher->productName.empty()) return launcher->productName;
    std::wstring path;
    if (!GetModulePath(path)) return L"Kestran";
    return path.substr(path.find_last_of(L"\\/") + 1);
}

void ShowLaunchFailure(const Launcher* launcher, bool failed, bool vmAborted) {
    platform::ShowKeptErrors(FailureTitle(launcher), failed, vmAborted);
}

}  // namespace kestran::launcher
