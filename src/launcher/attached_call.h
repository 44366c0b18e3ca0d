// Java calls from threads of the launcher's own (a service stop, a forwarded start).
#pragma once

#include <jni.h>

#include "jvm/vm_host.h"
#include "launcher/launcher.h"

namespace kestran::launcher {

// What the calling thread is to the VM during the call. A daemon never keeps the VM's
// teardown waiting: for a call that may not return (System.exit).
enum class CallingThread { Ordinary, Daemon };

// The one way for the launcher's calls into the program: attaches this thread to the
// launcher's VM, runs `call(env)` and detaches again. False when there is no VM (yet, or any
// more) or the attach fails; otherwise what `call` returns. The thread detaches also when `call`
// throws. Every such call (a stop, the stop timeout's System.exit, a forwarded start) must
// reach a program that returned from main while the VM's teardown waits for its threads; the
// thread may then block in a VM that is ending, so no one may wait for it without a bound.
// `call` must release its local references before it returns: they do not outlive the detach.
template <typename Call>
bool CallOnAttachedThread(Launcher& launcher, Call call, CallingThread thread = CallingThread::Ordinary) {
    jvm::VmSession::Attachment attachment =
        launcher.Vm().vmSession.AttachUntilDestroyed(thread == CallingThread::Daemon);
    if (!attachment) return false;
    return call(attachment.env());
}

}  // namespace kestran::launcher
