// Java calls from threads of the launcher's own (a service stop, a forwarded start).
#pragma once

#include <jni.h>

#include "jvm/vm_host.h"
#include "launcher/launcher.h"

namespace kestran::launcher {

// Attaches this thread to the launcher's VM, runs `call(env)` and detaches again. False when
// there is no VM (yet, or any more) or the attach fails; otherwise what `call` returns. The
// thread detaches also when `call` throws. A forwarded start is still served while the VM's
// teardown waits for the program's threads after main returned; such a thread may block in a
// VM that is ending, so no one may wait for it without a bound. `call` must release its local
// references before it returns: they do not outlive the detach.
template <typename Call>
bool CallOnAttachedThread(Launcher& launcher, Call call) {
    jvm::VmSession::Attachment attachment = launcher.Vm().vmSession.AttachUntilDestroyed();
    if (!attachment) return false;
    return call(attachment.env());
}

}  // namespace kestran::launcher
