// The VM side of a launch: the VM library's entry points, the VM session, the creating
// thread's JNIEnv, and what the VM's hooks and the main class report to. Other threads (a
// service stop request, a forwarded start) use the session while the Java thread may destroy
// the VM: the session has its own lock; every other member is written before those threads
// exist or only on the Java thread.
#pragma once

#include <jni.h>

#include <string>

#include "jvm/vm_c_runtime.h"
#include "jvm/vm_entry_points.h"
#include "jvm/vm_session.h"

namespace kestran::jvm {

class VmExitListener;

class VmHost {
public:
    // The newest host is the one the VM's exit and abort hooks report to, until it is destroyed.
    VmHost();
    ~VmHost();
    VmHost(const VmHost&) = delete;
    VmHost& operator=(const VmHost&) = delete;

    VmEntryPoints vmEntryPoints;         // JNI_CreateJavaVM, JNI_GetDefaultJavaVMInitArgs, JVM_FindClassFromBootLoader
    void* vmModule = nullptr;            // the loaded VM library (HMODULE, or the dlopen handle)
    VmCRuntime vmCRuntime;               // its C runtime, bound when the vfprintf hook is wanted
    VmSession vmSession;                 // the VM: published, attached to, destroyed
    JNIEnv* jniEnv = nullptr;            // valid on the Java thread only
    VmExitListener* vmExitListener = nullptr;  // receives the exit and abort hooks (service mode)
    void* readyEvent = nullptr;          // HANDLE, manual reset; signalled just before main; owned by the launcher

    // The redirection targets as opened: "Output File" and "Error File" with their date/time
    // stamps expanded (empty when not redirected).
    std::wstring outputFile;
    std::wstring errorFile;
};

// The host the VM's hooks report to, or null when none exists.
VmHost* CurrentVmHost();

// Called by the abort hook after the listener, before the VM ends the process; null for none.
using VmAbortNotice = void (*)();
void SetVmAbortNotice(VmAbortNotice notice);
VmAbortNotice CurrentVmAbortNotice();
// Called by the exit hook with its code after the listener, before the VM ends the process.
using VmExitNotice = void (*)(int code);
void SetVmExitNotice(VmExitNotice notice);
VmExitNotice CurrentVmExitNotice();

}  // namespace kestran::jvm
