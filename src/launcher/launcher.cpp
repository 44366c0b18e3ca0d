#include "launcher/launcher.h"

#include <atomic>

#include "jvm/vm_host.h"
#include "launcher/failure_report.h"

namespace kestran::launcher {
namespace {
// Read by the VM's exit and abort hooks, which run on threads of the VM.
std::atomic<Launcher*> currentLauncher{nullptr};

// The VM ends the process once its abort hook returns ("Error occurred during initialization
// of VM"): what it printed is shown now or never.
void ShowFailureOnVmAbort() { ShowLaunchFailure(CurrentLauncher(), true, true); }

}  // namespace

Launcher::Launcher() : vm_(std::make_unique<jvm::VmHost>()) {
    currentLauncher.store(this);
    jvm::SetVmAbortNotice(&ShowFailureOnVmAbort);
}

Launcher* CurrentLauncher() { return currentLauncher.load(); }

void ForgetCurrentLauncher(Launcher* launcher) {
    Launcher* expected = launcher;
    currentLauncher.compare_exchange_strong(expected, nullptr);
}

}  // namespace kestran::launcher
