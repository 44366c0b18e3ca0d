#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <vector>

#include "config/paths.h"
#include "jvm/splash_platform.h"
#include "jvm/vm_library.h"
#include "platform/decimal_text.h"
#include "platform/handles_win.h"
#include "platform/system_library_win.h"
#include "platform/trace.h"

namespace kestran::jvm {
namespace {

// Spelled out: the SDK headers show them only for newer _WIN32_WINNT targets.
constexpr DWORD kLoadLibrarySearchDllLoadDir = 0x00000100;
constexpr DWORD kLoadLibrarySearchDefaultDirs = 0x00001000;
// A new window is noticed this long after it appears, at most.
constexpr DWORD kPollMilliseconds = 50;
constexpr SIZE_T kWatchStack = 64 * 1024;

void* ExportOf(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

struct WindowFunctions {
    decltype(&::EnumWindows) EnumWindows;
    decltype(&::GetWindowThreadProcessId) GetWindowThreadProcessId;
    decltype(&::IsWindowVisible) IsWindowVisible;
    bool Bind(platform::SystemLibrary& library) {
        return library.Bind(EnumWindows, "EnumWindows") &&
               library.Bind(GetWindowThreadProcessId, "GetWindowThreadProcessId") &&
               library.Bind(IsWindowVisible, "IsWindowVisible");
    }
};

struct Watch {
    WindowFunctions user32{};
    std::vector<DWORD> splashThreads;  // sorted
    ULONGLONG deadline = 0;            // GetTickCount64; 0: none
};

struct Scan {
    const Watch* watch;
    DWORD process;
    bool splashVisible = false;
    bool otherVisible = false;
};

// Written by the entry thread before the watch thread exists.
std::vector<DWORD> threadsBeforeSplash;

std::vector<DWORD> ProcessThreads() {
    std::vector<DWORD> ids;
    platform::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return ids;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == self) ids.push_back(entry.th32ThreadID);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// The splash library draws on a thread it starts while it shows the picture: a window on such
// a thread is the splash, whatever module or class it names; any other is the program's.
BOOL CALLBACK ScanWindow(HWND window, LPARAM parameter) {
    Scan& scan = *reinterpret_cast<Scan*>(parameter);
    DWORD process = 0;
    const DWORD thread = scan.watch->user32.GetWindowThreadProcessId(window, &process);
    if (process != scan.process || !scan.watch->user32.IsWindowVisible(window)) return TRUE;
    const auto& splash = scan.watch->splashThreads;
    (std::binary_search(splash.begin(), splash.end(), thread) ? scan.splashVisible : scan.otherVisible) = true;
    return scan.otherVisible ? FALSE : TRUE;
}

DWORD WINAPI WatchThread(LPVOID parameter) {
    std::unique_ptr<Watch> watch(static_cast<Watch*>(parameter));
    bool splashSeen = false;
    while (SplashShown()) {
        Sleep(kPollMilliseconds);
        Scan scan{watch.get(), GetCurrentProcessId()};
        watch->user32.EnumWindows(ScanWindow, reinterpret_cast<LPARAM>(&scan));
        if (scan.otherVisible) {
            // A program without AWT windows (JavaFX, SWT) would otherwise keep it up.
            platform::Trace(L"the program shows a window: closing the splash screen");
            CloseSplash();
        } else if (splashSeen && !scan.splashVisible) {
            platform::Trace(L"the splash screen went away");
            return 0;
        } else if (watch->deadline != 0 && GetTickCount64() >= watch->deadline) {
            platform::Trace(L"Splash Timeout reached");
            CloseSplash();
        }
        splashSeen = splashSeen || scan.splashVisible;
    }
    return 0;
}

}  // namespace

bool LoadSplashLibrary(const std::wstring& vmLibraryPath, SplashFunctions& out, std::wstring& reason) {
    const std::wstring path = StripPathComponents(vmLibraryPath, 2) + L"\\splashscreen.dll";
    if (!config::FindFile(path)) {
        reason = path + L" does not exist (a runtime image without java.desktop)";
        return false;
    }
    // Its dependencies (java.dll, the JDK's C runtime) sit beside it. A Windows 7 without the
    // update that brought the search flags rejects them (error 87).
    const std::wstring loadPath = config::PlatformPath(path);
    HMODULE module = LoadLibraryExW(loadPath.c_str(), nullptr, kLoadLibrarySearchDllLoadDir | kLoadLibrarySearchDefaultDirs);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module = LoadLibraryExW(loadPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // Never freed: AWT's SplashScreen reaches the splash through this same instance.
    if (module == nullptr) {
        reason = path + L" not loaded (error " + platform::DecimalText(GetLastError()) + L")";
        return false;
    }
    if (!BindSplashFunctions(module, ExportOf, out)) {
        reason = path + L" lacks the splash functions";
        return false;
    }
    return true;
}

void BeginSplashCalls() { threadsBeforeSplash = ProcessThreads(); }

void WatchSplash(uint32_t timeoutSeconds) {
    // Not the shared table: a missing user32 must not print an error line for a splash.
    static platform::SystemLibrary user32(L"user32.dll");
    auto watch = std::make_unique<Watch>();
    if (!watch->user32.Bind(user32)) {
        platform::Trace(L"user32 missing: the splash screen is not watched");
        return;
    }
    const std::vector<DWORD> threads = ProcessThreads();
    std::set_difference(threads.begin(), threads.end(), threadsBeforeSplash.begin(), threadsBeforeSplash.end(),
                        std::back_inserter(watch->splashThreads));
    if (timeoutSeconds != 0) watch->deadline = GetTickCount64() + uint64_t{timeoutSeconds} * 1000;
    platform::UniqueHandle thread(
        CreateThread(nullptr, kWatchStack, WatchThread, watch.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread) {
        platform::Trace(L"the splash screen is not watched (error " + platform::DecimalText(GetLastError()) + L")");
        return;
    }
    (void)watch.release();  // the thread owns it now
}

}  // namespace kestran::jvm
