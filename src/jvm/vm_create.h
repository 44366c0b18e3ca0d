// Creating the Java VM with the assembled options and the "exit" and "abort" hooks.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "config/launch_settings.h"
#include "jvm/vm_host.h"
#include "runtime/runtime_choice.h"

namespace kestran::jvm {

// Receives the VM's exit and abort hooks (service mode only).
class VmExitListener {
public:
    virtual ~VmExitListener() = default;
    virtual void OnVmExit(int code) = 0;
    virtual void OnVmAbort() = 0;
};

// Creates the VM on the calling thread from invocation.vmOptions (JNI_VERSION_1_2, unknown
// options refused) through host.vmEntryPoints, publishes the VM in host.vmSession and fills
// host.jniEnv. Prints 203 with its reason on failure and leaves both null. Stream redirection
// is the caller's next step.
bool CreateVm(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host);

// The "exit" and "abort" hooks: they pass the event to the vmExitListener of CurrentVmHost()
// when there is one, then run the exit or abort notice, and return; what follows is the VM's
// business.
void JNICALL VmExitHook(jint code);
void JNICALL VmAbortHook();
// The "vfprintf" hook: the VM's own messages, formatted, to platform::ReportVmMessage.
jint JNICALL VmPrintHook(FILE* stream, const char* format, va_list arguments);

// "vfprintf" with its hook when `printHook`, every option of `options` in order (extraInfo
// null), then "abort" and "exit" with their hooks. The array points into `options`, which
// must outlive it.
std::vector<JavaVMOption> BuildVmOptionArray(const config::NarrowList& options, bool printHook = false);
// The VM on `env` is an IBM (J9) one, by its java.vm.vendor and java.vm.name properties.
bool IsIbmRuntime(JNIEnv* env);
// Message 225-230 for a JNI error result; 0 for any other value.
unsigned CreateVmReasonId(jint result);

}  // namespace kestran::jvm
