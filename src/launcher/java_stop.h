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

// System.exit(code) on the thread of `env`. A real VM ends the process there; false when the
// method cannot be found or throws (described and cleared).
bool CallSystemExit(JNIEnv* env, jint code);

}  // namespace kestran::launcher
