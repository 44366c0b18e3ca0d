// The one central object of a launch. Built on the entry thread's stack by the entry point,
// it is made of the parts the lower layers take: the settings (config::LaunchSettings), the
// chosen runtime and the VM's options and arguments (runtime::RuntimeChoice,
// runtime::JavaInvocation), and the VM side (jvm::VmHost, through Vm(); kept out of this
// header so that it needs no jni.h). It adds the single-instance state and the run flags.
// Other threads find it through CurrentLauncher(). No member is locked: each is written before
// the threads that read it exist, except the VM session, which other threads (a service stop
// request, a forwarded start) use while the Java thread may destroy the VM: it has its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "runtime/runtime_choice.h"

namespace kestran::jvm {
class VmHost;
}

namespace kestran::launcher {

using WideList = config::WideList;
using NarrowList = config::NarrowList;
struct ForwardedRequests;

class Launcher : public config::LaunchSettings, public runtime::RuntimeChoice, public runtime::JavaInvocation {
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // The VM side of the launch; exists from construction to destruction.
    jvm::VmHost& Vm() { return *vm_; }
    const jvm::VmHost& Vm() const { return *vm_; }

    void* instanceBlock = nullptr;       // mapped single-instance block
    void* instanceMapping = nullptr;     // HANDLE
    void* listenerThread = nullptr;      // HANDLE
    bool isPrimaryInstance = false;
    void* argumentsTakenEvent = nullptr; // HANDLE, auto reset: the listener has copied a request's arguments
    uint32_t forwardedReply = 0;         // a later instance: what the first instance replied
    std::shared_ptr<ForwardedRequests> forwardedRequests;  // the first instance's request threads, shared with them

    bool startedByHandOver = false;      // this process is the pair program of a hand-over

private:
    std::unique_ptr<jvm::VmHost> vm_;
};

// The launcher of this process, or null before it is built and after it is destroyed.
Launcher* CurrentLauncher();

}  // namespace kestran::launcher
