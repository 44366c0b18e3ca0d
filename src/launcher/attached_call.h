// Java calls from threads of the launcher's own (a service stop, a forwarded start).
#pragma once

#include <jni.h>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Attaches this thread to the launcher's VM, runs `call(env)` and detaches again. False when
// there is no VM (yet), its teardown has begun, or the attach fails; otherwise what `call`
// returns. The thread detaches also when `call` throws. `call` must release its local
// references before it returns: they do not outlive the detach.
template <typename Call>
bool CallOnAttachedThread(Launcher& launcher, Call call) {
    jvm::VmSession::Attachment attachment = launcher.vmSession.TryAttach();
    if (!attachment) return false;
    return call(attachment.env());
}

}  // namespace kestran::launcher
