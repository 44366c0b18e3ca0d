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
            // The quit message is posted again until the listener has gone (a post fails while
            // its queue is full), with a short wait in between rather than a busy loop.
            do {
                PostThreadMessageW(listenerThreadId, WM_QUIT, 0, 0);
            } while (WaitForSingleObject(listenerThread, 50) == WAIT_TIMEOUT);
        }
        if (listenerThread != nullptr) CloseHandle(listenerThread);
        if (instanceBlock != nullptr) UnmapViewOfFile(instanceBlock);
        if (instanceMapping != nullptr) CloseHandle(instanceMapping);
    }
    if (readyEvent != nullptr) CloseHandle(readyEvent);
    ForgetCurrentLauncher(this);
}

}  // namespace kestran::launcher
