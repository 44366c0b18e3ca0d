#include <windows.h>

#include "jvm/java_thread_platform.h"

namespace kestran::jvm {

void SignalReadyEvent(void* event) {
    if (event != nullptr) SetEvent(static_cast<HANDLE>(event));
}

void SleepForever() {
    for (;;) Sleep(INFINITE);
}

}  // namespace kestran::jvm
