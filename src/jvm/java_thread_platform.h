// The two things the Java thread needs from the operating system.
#pragma once

namespace kestran::jvm {

#ifndef _WIN32
// The ready event of the Linux JNI host: a callback, so that a test host can see when (and how
// often) the launcher signals it.
struct PosixReadyEvent {
    void (*signal)(void* context) = nullptr;
    void* context = nullptr;
};
#endif

// Signals the launcher's ready event: a manual-reset event HANDLE on Windows, a PosixReadyEvent
// in the Linux JNI host. Null does nothing.
void SignalReadyEvent(void* event);

// Blocks the calling thread for good.
[[noreturn]] void SleepForever();

}  // namespace kestran::jvm
