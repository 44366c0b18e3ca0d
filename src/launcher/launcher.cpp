#include "launcher/launcher.h"

#include <atomic>

#include "config/messages.h"
#include "jvm/vm_host.h"
#include "launcher/failure_report.h"
#include "platform/error_report.h"

namespace kestran::launcher {
namespace {
// Read by the VM's exit and abort hooks, which run on threads of the VM.
std::atomic<Launcher*> currentLauncher{nullptr};

// The VM ends the process once its abort hook returns ("Error occurred during initialization
// of VM"): what it printed is shown now or never.
void ShowFailureOnVmAbort() { ShowLaunchFailure(CurrentLauncher(), true, true); }

// The VM ends the process once its exit hook returns. Before main (the JDK's launcher helper
// exits with 1 for a missing class; an exit in the main class's initialiser) that is a failed
// start, which the windowed executable without an output would otherwise end without a word.
void ShowFailureOnEarlyVmExit(int code) {
    if (!platform::ExitBeforeMainNeedsLine()) return;
    config::PrintErrorLine(config::FormatMessageId(config::kMsgExitBeforeMain, {code}));
    ShowLaunchFailure(CurrentLauncher(), true);
}

}  // namespace

Launcher::Launcher() : vm_(std::make_unique<jvm::VmHost>()) {
    currentLauncher.store(this);
    jvm::SetVmAbortNotice(&ShowFailureOnVmAbort);
    jvm::SetVmExitNotice(&ShowFailureOnEarlyVmExit);
}

Launcher* CurrentLauncher() { return currentLauncher.load(); }

void ForgetCurrentLauncher(Launcher* launcher) {
    Launcher* expected = launcher;
    currentLauncher.compare_exchange_strong(expected, nullptr);
}

}  // namespace kestran::launcher
