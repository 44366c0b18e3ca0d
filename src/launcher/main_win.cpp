// The entry point of kestran.exe. Its parameters are not used: the command line is taken
// from GetCommandLineW so that every argument reaches the Java program as UTF-16.
#include <windows.h>

#include <cstdint>
#include <new>
#include <stdexcept>

#include "config/general_error.h"
#include "kestran_version.h"
#include "launcher/failure_report.h"
#include "launcher/launch_steps.h"
#include "launcher/launcher.h"
#include "launcher/service_mode.h"
#include "platform/console.h"
#include "platform/thread_language.h"
#include "platform/trace.h"
#include "runtime/startup_cache_plan.h"

using namespace kestran;

namespace {

// Tears the service objects down however the launch ends.
struct ServiceObjects {
    ServiceObjects() { launcher::CreateServiceObjects(); }
    ~ServiceObjects() { launcher::DestroyServiceObjects(); }
};

uint32_t RunSteps(launcher::Launcher& launcher) {
    if (!launcher::PrepareLaunch(launcher)) return 0xFFFFFFFFu;
    if (!launcher.serviceMode) return launcher::RunLaunch(launcher);
    std::wstring modulePath;
    if (!launcher::GetModulePath(modulePath)) return 0xFFFFFFFFu;
    return launcher::RunServiceDispatcher(launcher);
}

uint32_t Launch() {
    launcher::Launcher launcher;
    ServiceObjects serviceObjects;
    // Every message is taken in the system's language.
    platform::UseSystemLanguage();
    // First, so that a trace sent in with a report says which launcher wrote it.
    platform::Trace(L"Kestran " KESTRAN_VERSION_TEXT);
    const uint32_t code = RunSteps(launcher);
    // The windowed executable without an output shows what a failed launch printed, before
    // the process ends with the same code.
    launcher::ShowLaunchFailure(&launcher, code != 0);
    return code;
}

}  // namespace

int main() {
    try {
        // A copy started by a launch to assemble its start-up cache after it: nothing else of
        // a launch, no settings, no output.
        if (runtime::RunStartupCacheJob()) return 0;
        return static_cast<int>(Launch());
    } catch (const GeneralError& error) {
        // Only the truly unexpected gets here; its result code is the process exit code.
        return error.resultCode();
    } catch (const std::bad_alloc&) {
        return kResultOutOfMemory;
    } catch (const std::exception&) {
        return kResultFail;
    }
}
