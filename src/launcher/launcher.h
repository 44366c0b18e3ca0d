// The one central object of a launch. Built on the entry thread's stack by the entry point,
// it holds every setting, the chosen VM library, the VM handles and the run flags. Other
// threads find it through CurrentLauncher(). No member is locked: each is written before the
// threads that read it exist, except the VM session, which other threads (a service stop
// request, a forwarded start) use while the Java thread may destroy the VM: it has its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "jvm/vm_entry_points.h"
#include "jvm/vm_session.h"
#include "runtime/runtime_choice.h"

namespace kestran::jvm {
class VmExitListener;
}

namespace kestran::launcher {

using WideList = config::WideList;
using NarrowList = config::NarrowList;

class Launcher : public config::LaunchSettings, public runtime::RuntimeChoice, public runtime::JavaInvocation {
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    jvm::VmExitListener* vmExitListener = nullptr;
    jvm::VmSession vmSession;            // the VM: published, attached to, destroyed
    JNIEnv* jniEnv = nullptr;            // valid on the Java thread only

    void* instanceBlock = nullptr;       // mapped single-instance block
    void* instanceMapping = nullptr;     // HANDLE
    void* listenerThread = nullptr;      // HANDLE
    bool isPrimaryInstance = false;
    void* argumentsTakenEvent = nullptr; // HANDLE, auto reset: the listener has copied a request's arguments

    void* readyEvent = nullptr;          // HANDLE, manual reset
    bool startedByHandOver = false;      // this process is the pair program of a hand-over

    jvm::VmEntryPoints vmEntryPoints;    // JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs, JVM_FindClassFromBootLoader
};

// The launcher of this process, or null before it is built and after it is destroyed.
Launcher* CurrentLauncher();

}  // namespace kestran::launcher
