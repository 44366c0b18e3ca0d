#include <windows.h>

#include "jvm/java_thread.h"
#include "jvm/splash_screen.h"
#include "jvm/vm_c_runtime.h"
#include "jvm/vm_library.h"
#include "launcher/launch_steps.h"
#include "launcher/pair_handover.h"
#include "launcher/single_instance.h"
#include "platform/decimal_text.h"
#include "platform/handles_win.h"
#include "platform/thread_language.h"
#include "platform/trace.h"
#include "runtime/startup_cache_plan.h"
#include "runtime/vm_options.h"

namespace kestran::launcher {
namespace {

DWORD WINAPI JavaThreadProc(LPVOID parameter) {
    // A new thread starts in the user's locale; its messages belong in the system's language too.
    platform::UseSystemLanguage();
    try {
        Launcher& launcher = *static_cast<Launcher*>(parameter);
        return jvm::JavaThreadMain(launcher, launcher, launcher.Vm());
    } catch (...) {
        // Unexpected (a missing message id, no memory): end the launch, not the process.
        platform::Trace(L"Java thread failed unexpectedly");
        return jvm::kJavaThreadLaunchFailed;
    }
}

// A failed launch, or main ended by an exception: nothing may stay in front of what is said.
uint32_t Finished(uint32_t javaThreadExitCode) {
    const uint32_t code = jvm::ProcessExitCodeOf(javaThreadExitCode);
    if (code != 0) jvm::CloseSplash();
    return code;
}

}  // namespace

uint32_t RunLaunch(Launcher& launcher) {
    if (launcher.handOverToPair) return HandOverToPair(launcher);
    if (launcher.singleInstance && !launcher.isPrimaryInstance) return WaitForPrimary(launcher);

    launcher.libraryPath = jvm::PrepareVmEnvironment(launcher, launcher, launcher);
    // An option the VM would receive changed was reported; the launch must not go on with it.
    if (launcher.vmOptionRefused) return 0xFFFFFFFFu;
    if (!jvm::LoadVmLibrary(launcher.Vm(), launcher.vmLibraryPath)) return 0xFFFFFFFFu;
    runtime::AssembleVmOptions(launcher, launcher);  // a missing class path was reported; the run goes on
    if (launcher.vmOptionRefused) return 0xFFFFFFFFu;
    if (launcher.settings && runtime::StartupCacheWanted(*launcher.settings)) {
        runtime::ApplyStartupCache(launcher.vmLibraryPath, launcher.serviceMode, launcher);
    }

    if (launcher.threadStackSize == 0) launcher.threadStackSize = jvm::QueryDefaultJavaStackSize(launcher.Vm().vmEntryPoints);
    platform::Trace(L"Java thread stack size " + platform::DecimalText(launcher.threadStackSize) +
                    (launcher.threadStackSize == 0 ? L" (the executable's default)" : L""));

    // Shown while the VM starts, on this thread, as the java launcher does.
    jvm::ShowSplash(launcher, launcher.vmLibraryPath);

    // The size is what to reserve: as a commit size, -Xss512m would take 512 MiB of memory
    // up front instead of address space that the stack grows into.
    platform::UniqueHandle thread(CreateThread(nullptr, static_cast<SIZE_T>(launcher.threadStackSize), JavaThreadProc,
                                               &launcher, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (thread) {
        WaitForSingleObject(thread.get(), INFINITE);
        DWORD exitCode = 0xFFFFFFFFu;
        GetExitCodeThread(thread.get(), &exitCode);
        return Finished(exitCode);
    }

    // No thread: the same work on the entry thread, with its default stack.
    platform::Trace(L"Java thread not created (error " + platform::DecimalText(GetLastError()) + L"); running on the entry thread");
    return Finished(jvm::JavaThreadMain(launcher, launcher, launcher.Vm()));
}

}  // namespace kestran::launcher
