#include <windows.h>

#include "jvm/vm_host.h"
#include "launcher/launcher.h"
#include "launcher/single_instance.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    // Returns once the Java program's last non-daemon thread has ended.
    vm_->vmSession.Destroy();
    if (singleInstance) ReleaseSingleInstance(*this);
    if (vm_->readyEvent != nullptr) CloseHandle(vm_->readyEvent);
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
