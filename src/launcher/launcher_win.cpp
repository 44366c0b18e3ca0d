#include <windows.h>

#include "launcher/launcher.h"
#include "launcher/single_instance.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    // Returns once the Java program's last non-daemon thread has ended.
    vmSession.Destroy();
    if (singleInstance) ReleaseSingleInstance(*this);
    if (readyEvent != nullptr) CloseHandle(readyEvent);
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
