#include "launcher/launcher.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    if (javaVm != nullptr) {
        javaVm->DestroyJavaVM();
        javaVm = nullptr;
    }
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
