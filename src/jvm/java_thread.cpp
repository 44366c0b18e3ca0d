#include "jvm/java_thread.h"

#include <string>

#include "jvm/output_redirection.h"
#include "jvm/vm_create.h"
#include "platform/decimal_text.h"
#include "platform/trace.h"

namespace kestran::jvm {

uint32_t ProcessExitCodeOf(uint32_t javaThreadExitCode) {
    if (javaThreadExitCode == kJavaThreadMainReturned) return 0;
    if (javaThreadExitCode == kJavaThreadUncaughtException) return 1;
    return 0xFFFFFFFFu;
}

uint64_t QueryDefaultJavaStackSize(const VmEntryPoints& entryPoints) {
    if (entryPoints.getDefaultJavaVmInitArgs == nullptr) return 0;
    Jdk11InitArgs args{};
    args.version = JNI_VERSION_1_1;
    // HotSpot fills javaStackSize and still answers JNI_ERR for a 1.1 block: the value counts.
    entryPoints.getDefaultJavaVmInitArgs(&args);
    return args.javaStackSize > 0 ? static_cast<uint64_t>(args.javaStackSize) : 0;
}

uint32_t JavaThreadMain(const config::LaunchSettings& launch, const runtime::JavaInvocation& invocation, VmHost& host) {
    uint32_t code = kJavaThreadLaunchFailed;
    if (CreateVm(launch, invocation, host)) {
        RedirectStandardStreams(launch, host);
        bool mainThrew = false;
        if (RunMainClass(launch, invocation, host, &mainThrew)) code = mainThrew ? kJavaThreadUncaughtException : kJavaThreadMainReturned;
        // A service reports "stopped" only after the VM is gone, so it is destroyed here rather
        // than in the teardown, also when main never ran; this waits for the program's
        // non-daemon threads. From here on no other thread attaches.
        if (launch.serviceMode) host.vmSession.Destroy();
    }
    if (platform::TraceEnabled()) platform::Trace(L"Java thread exit code " + platform::DecimalText(code));
    return code;
}

}  // namespace kestran::jvm
