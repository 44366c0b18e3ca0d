// Asking the running Java program to end, from a thread other than the Java thread: the main
// class's static stop(), or System.exit(0) when the class has none.
#pragma once

#include <jni.h>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Attaches the calling thread to the launcher's VM and calls the main class's static stop()V,
// or System.exit(0) when the class has no such method. False when there is no VM, the thread
// cannot attach, or the call threw (the exception is described on standard error and dropped).
// The thread detaches again, except with the IBM-only thread handling, where it stays attached.
bool RequestJavaStop(Launcher& launcher);
// The same call on a thread that is attached already, with its `env`.
bool CallStopOrExit(const Launcher& launcher, JNIEnv* env);

// System.exit(0) on a daemon thread attached for the call, as the last resort of a stop that
// did not end the program in time, also while the VM's teardown waits for the program's
// threads. False when the thread cannot attach or the call failed.
bool RequestSystemExit(Launcher& launcher);

}  // namespace kestran::launcher
