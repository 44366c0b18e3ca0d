// The entry point of kestran.exe. Its parameters are not used: the command line is taken
// from GetCommandLineW so that every argument reaches the Java program as UTF-16.
#include <windows.h>

#include <cstdint>

#include "config/general_error.h"
#include "launcher/launch_steps.h"
#include "launcher/launcher.h"
#include "launcher/service_mode.h"
#include "platform/console.h"

using namespace kestran;

namespace {

uint32_t Launch() {
    launcher::Launcher launcher;
    launcher::CreateServiceObjects();
    // Every message is taken in the system's language.
    SetThreadLocale(GetSystemDefaultLCID());

    uint32_t result = 0xFFFFFFFFu;
    if (launcher::PrepareLaunch(launcher)) {
        if (!launcher.serviceMode) {
            result = launcher::RunLaunch(launcher);
        } else {
            std::wstring modulePath;
            if (launcher::GetModulePath(modulePath)) result = launcher::RunServiceDispatcher(launcher);
        }
    }
    launcher::DestroyServiceObjects();
    return result;
}

}  // namespace

int main() {
    try {
        return static_cast<int>(Launch());
    } catch (const GeneralError& error) {
        // Only the truly unexpected gets here; its result code is the process exit code.
        return error.resultCode();
    } catch (const std::bad_alloc&) {
        return kResultOutOfMemory;
    }
}
