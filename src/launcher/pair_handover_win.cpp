#include "launcher/pair_handover.h"

#include <windows.h>

#include <vector>

#include "config/messages.h"
#include "config/paths.h"
#include "launcher/launch_steps.h"
#include "platform/decimal_text.h"
#include "platform/environment.h"
#include "platform/handles_win.h"
#include "platform/trace.h"

namespace kestran::launcher {
namespace {

bool SameFile(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = config::FullPath(a);
    const std::wstring fullB = config::FullPath(b);
    return fullA.size() == fullB.size() &&
           CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
}

// A pair program that hands over again starts the next one, and so on without end: two
// launchers naming each other, or one naming itself, would fill the machine with processes.
bool HandOverAllowed(const Launcher& launcher) {
    if (launcher.startedByHandOver) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgNoSecondHandOver, {launcher.pairProduct}));
        return false;
    }
    std::wstring ownPath;
    if (GetModulePath(ownPath) && SameFile(ownPath, launcher.pairProduct)) {
        config::PrintErrorLine(config::FormatMessageId(config::kMsgPairIsSelf, {launcher.pairProduct}));
        return false;
    }
    return true;
}

// An inheritable duplicate of one of this process's standard handles, or null when it has none.
platform::UniqueHandle InheritableStandardHandle(DWORD which) {
    HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        return platform::UniqueHandle();
    }
    return platform::UniqueHandle(copy);
}

}  // namespace

uint32_t HandOverToPair(Launcher& launcher) {
    if (!HandOverAllowed(launcher)) return 0xFFFFFFFFu;
    // CreateProcessW may write into its command-line argument, so both texts are copies.
    std::vector<wchar_t> application(launcher.pairProduct.begin(), launcher.pairProduct.end());
    application.push_back(L'\0');
    const wchar_t* ownCommandLine = GetCommandLineW();
    std::wstring commandText = ownCommandLine != nullptr ? ownCommandLine : L"";
    std::vector<wchar_t> commandLine(commandText.begin(), commandText.end());
    commandLine.push_back(L'\0');

    // Inherited by the pair program only: this process ends or just waits from here on.
    platform::SetEnvironmentText(kHandOverMark, L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The pair program writes where this launcher would have: `MyApp.exe > log.txt` keeps its
    // output. Only these duplicates are inheritable; this process makes no other handle so.
    platform::UniqueHandle input = InheritableStandardHandle(STD_INPUT_HANDLE);
    platform::UniqueHandle output = InheritableStandardHandle(STD_OUTPUT_HANDLE);
    platform::UniqueHandle error = InheritableStandardHandle(STD_ERROR_HANDLE);
    const bool passHandles = input || output || error;
    if (passHandles) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = error.get();
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.data(), commandLine.data(), nullptr, nullptr, passHandles ? TRUE : FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        // A pair program that never ran must not look like a successful run.
        const DWORD error = GetLastError();
        platform::Trace(L"hand-over: " + launcher.pairProduct + L" not started, error " + platform::DecimalText(error));
        config::PrintPlatformErrorText(launcher.pairProduct, error);
        return 0xFFFFFFFFu;
    }
    platform::UniqueHandle processHandle(process.hProcess);
    platform::UniqueHandle threadHandle(process.hThread);
    platform::Trace(L"hand-over: started " + launcher.pairProduct + L" (process " +
                    platform::DecimalText(process.dwProcessId) + L")");
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
    platform::Trace(L"hand-over: " + launcher.pairProduct + L" exited with " + platform::DecimalText(exitCode));
    return exitCode;
}

}  // namespace kestran::launcher
