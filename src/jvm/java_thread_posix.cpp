#include <unistd.h>

#include "jvm/java_thread_platform.h"

namespace kestran::jvm {

void SignalReadyEvent(void* event) {
    auto* ready = static_cast<PosixReadyEvent*>(event);
    if (ready != nullptr && ready->signal != nullptr) ready->signal(ready->context);
}

void SleepForever() {
    for (;;) pause();
}

}  // namespace kestran::jvm
