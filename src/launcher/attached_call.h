// Java calls from threads of the launcher's own (a service stop, a forwarded start).
#pragma once

#include <jni.h>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Attaches this thread to the launcher's VM, runs `call(env)` and detaches again. False when
// there is no VM (yet, or any more) or the attach fails; otherwise what `call` returns. `call`
// must release its local references before it returns: they do not outlive the detach.
template <typename Call>
bool CallOnAttachedThread(Launcher& launcher, Call call) {
    JavaVM* vm = launcher.javaVm.load();
    if (vm == nullptr) return false;
    JNIEnv* env = nullptr;
    // A VM destroyed since it was read answers with an error: the library is never unloaded.
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return false;
    bool result = call(env);
    // An IBM runtime keeps threads that ran Java code attached, as its Java thread stays.
    if (!launcher.ibmRuntimeOnly()) vm->DetachCurrentThread();
    return result;
}

}  // namespace kestran::launcher
