#include "launcher/launcher.h"

#include <atomic>

namespace kestran::launcher {
namespace {
// Read by the VM's exit and abort hooks, which run on threads of the VM.
std::atomic<Launcher*> currentLauncher{nullptr};
}  // namespace

Launcher::Launcher() { currentLauncher.store(this); }

Launcher* CurrentLauncher() { return currentLauncher.load(); }

void ForgetCurrentLauncher(Launcher* launcher) {
    Launcher* expected = launcher;
    currentLauncher.compare_exchange_strong(expected, nullptr);
}

}  // namespace kestran::launcher
