#include <windows.h>

#include "launcher/launcher.h"

namespace kestran::launcher {

void ForgetCurrentLauncher(Launcher* launcher);

Launcher::~Launcher() {
    if (javaVm != nullptr) {
        // Returns once the Java program's last non-daemon thread has ended.
        javaVm->DestroyJavaVM();
        javaVm = nullptr;
    }
    if (singleInstance) {
        if (isPrimaryInstance && listenerThread != nullptr && instanceBlock != nullptr) {
            const DWORD listenerThreadId = *static_cast<const DWORD*>(instanceBlock);
            DWORD code = STILL_ACTIVE;
            do {
                PostThreadMessageW(listenerThreadId, WM_QUIT, 0, 0);
                if (!GetExitCodeThread(listenerThread, &code)) break;
            } while (code == STILL_ACTIVE);
        }
        if (listenerThread != nullptr) CloseHandle(listenerThread);
        if (instanceBlock != nullptr) UnmapViewOfFile(instanceBlock);
        if (instanceMapping != nullptr) CloseHandle(instanceMapping);
    }
    if (readyEvent != nullptr) CloseHandle(readyEvent);
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
