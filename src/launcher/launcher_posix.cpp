#include "jvm/vm_host.h"
#include "launcher/launcher.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    // Returns once the Java program's last non-daemon thread has ended.
    vm_->vmSession.Destroy();
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
