#include "launcher/pair_handover.h"

#include <windows.h>

#include <vector>

#include "config/messages.h"
#include "platform/handles_win.h"
#include "platform/trace.h"

namespace kestran::launcher {

uint32_t HandOverToPair(Launcher& launcher) {
    // CreateProcessW may write into its command-line argument, so both texts are copies.
    std::vector<wchar_t> application(launcher.pairProduct.begin(), launcher.pairProduct.end());
    application.push_back(L'\0');
    const wchar_t* ownCommandLine = GetCommandLineW();
    std::wstring commandText = ownCommandLine != nullptr ? ownCommandLine : L"";
    std::vector<wchar_t> commandLine(commandText.begin(), commandText.end());
    commandLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.data(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        // A pair program that never ran must not look like a successful run.
        const DWORD error = GetLastError();
        platform::Trace(L"hand-over: " + launcher.pairProduct + L" not started, error " + std::to_wstring(error));
        config::PrintPlatformErrorText(launcher.pairProduct, error);
        return 0xFFFFFFFFu;
    }
    platform::UniqueHandle processHandle(process.hProcess);
    platform::UniqueHandle threadHandle(process.hThread);
    platform::Trace(L"hand-over: started " + launcher.pairProduct + L" (process " +
                    std::to_wstring(process.dwProcessId) + L")");
    if (!launcher.pairReturnCode) return 0;

    if (WaitForSingleObject(processHandle.get(), INFINITE) == WAIT_FAILED) {
        const DWORD error = GetLastError();
        config::PrintPlatformErrorText(launcher.pairProduct, error);
        return 0xFFFFFFFFu;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode)) {
        const DWORD error = GetLastError();
        config::PrintPlatformErrorText(launcher.pairProduct, error);
        return 0xFFFFFFFFu;
    }
    platform::Trace(L"hand-over: " + launcher.pairProduct + L" exited with " + std::to_wstring(exitCode));
    return exitCode;
}

}  // namespace kestran::launcher
