#include "launcher/launcher.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    if (JavaVM* vm = javaVm.load()) {
        vm->DestroyJavaVM();
        javaVm = nullptr;
    }
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
