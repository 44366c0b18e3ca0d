// The Java thread: creates the VM, redirects the standard streams and runs the main class.
#pragma once

#include <cstdint>

#include "config/launch_settings.h"
#include "jvm/vm_entry_points.h"
#include "jvm/vm_host.h"
#include "runtime/runtime_choice.h"

namespace kestran::jvm {

// Exit codes of the Java thread. The launch maps them to the process exit code:
// returned -> 0, uncaught exception -> 1 (as the JDK's own launcher does), failed -> -1.
constexpr uint32_t kJavaThreadMainReturned = 0;
constexpr uint32_t kJavaThreadUncaughtException = 1;
constexpr uint32_t kJavaThreadLaunchFailed = 2;

// The process exit code for a Java thread exit code: 0, 1, or 0xFFFFFFFF (-1).
uint32_t ProcessExitCodeOf(uint32_t javaThreadExitCode);

// The VM's default Java thread stack size in bytes (JNI_GetDefaultJavaVMInitArgs with a
// JNI 1.1 block), 0 when the VM reports none.
uint64_t QueryDefaultJavaStackSize(const VmEntryPoints& entryPoints);

// The body of the Java thread (also run on the entry thread when no thread can be created):
// CreateVm, stream redirection, RunMainClass, and in service mode DestroyJavaVM.
uint32_t JavaThreadMain(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host);

// Loads the main class and calls main(String[]) with invocation.arguments (signalling
// host.readyEvent just before), then detaches the
// thread from the VM (which describes an uncaught exception on standard error). True when main
// ran and the thread detached; `mainThrew` (when given) tells whether main ended by an
// exception. Never returns after main when the session keeps threads attached (an IBM runtime).
bool RunMainClass(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host,
                  bool* mainThrew = nullptr);

}  // namespace kestran::jvm
