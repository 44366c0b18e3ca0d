#include <windows.h>

#include "jvm/java_thread.h"
#include "jvm/vm_library.h"
#include "launcher/launch_steps.h"
#include "launcher/pair_handover.h"
#include "launcher/single_instance.h"
#include "platform/handles_win.h"
#include "platform/trace.h"
#include "runtime/vm_options.h"

namespace kestran::launcher {
namespace {

DWORD WINAPI JavaThreadProc(LPVOID parameter) {
    return jvm::JavaThreadMain(*static_cast<Launcher*>(parameter));
}

// The VM's default Java thread stack size, asked once when no -Xss option was given.
uint64_t DefaultJavaStackSize(const Launcher& launcher) {
    if (launcher.vmEntryPoints.getDefaultJavaVmInitArgs == nullptr) return 0;
    jvm::Jdk11InitArgs args{};
    args.version = JNI_VERSION_1_1;
    launcher.vmEntryPoints.getDefaultJavaVmInitArgs(&args);
    return args.javaStackSize > 0 ? static_cast<uint64_t>(args.javaStackSize) : 0;
}

// The Java thread's exit code: 0 when main returned, 1 when it ended with an uncaught
// exception (reported like the JDK's own launcher), anything else a failed launch.
uint32_t ExitCodeOfJavaThread(DWORD threadExitCode) {
    if (threadExitCode == 0) return 0;
    if (threadExitCode == 1) return 1;
    return 0xFFFFFFFFu;
}

}  // namespace

uint32_t RunLaunch(Launcher& launcher) {
    if (launcher.handOverToPair) return HandOverToPair(launcher);
    if (launcher.singleInstance && !launcher.isPrimaryInstance) return WaitForPrimary(launcher);

    jvm::PrepareVmEnvironment(launcher);
    if (!jvm::LoadVmLibrary(launcher, launcher.vmLibraryPath)) return 0xFFFFFFFFu;
    runtime::AssembleVmOptions(launcher);  // a missing class path was reported; the run goes on

    if (launcher.threadStackSize == 0) launcher.threadStackSize = DefaultJavaStackSize(launcher);
    platform::Trace(L"Java thread stack size " + std::to_wstring(launcher.threadStackSize) +
                    (launcher.threadStackSize == 0 ? L" (the executable's default)" : L""));

    platform::UniqueHandle thread(CreateThread(nullptr, static_cast<SIZE_T>(launcher.threadStackSize), JavaThreadProc,
                                               &launcher, 0, nullptr));
    if (thread) {
        WaitForSingleObject(thread.get(), INFINITE);
        DWORD exitCode = 0xFFFFFFFFu;
        GetExitCodeThread(thread.get(), &exitCode);
        return ExitCodeOfJavaThread(exitCode);
    }

    // No thread: the same work on the entry thread, with its default stack.
    platform::Trace(L"Java thread not created (error " + std::to_wstring(GetLastError()) + L"); running on the entry thread");
    return ExitCodeOfJavaThread(jvm::JavaThreadMain(launcher));
}

}  // namespace kestran::launcher
