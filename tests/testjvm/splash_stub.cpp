// Stands in for a runtime's bin\splashscreen.dll: the same C exports, each call appended to the
// log named by TESTJVM_LOG ("splash <call> <argument>"), beside the test runtime's records, or
// without it (a service) to splash.log beside the DLL. SplashClose also writes its record on
// standard output, where a test sees it before or after the launcher's lines.
// A file that opens gets a visible window of its own thread, as the real library draws its
// picture on a thread it starts; a file that does not open is refused (0), as an unreadable
// picture is.
#include <windows.h>

#include <string>

namespace {

HWND splashWindow = nullptr;
HANDLE splashThread = nullptr;

void Record(const std::string& record) {
    wchar_t path[1024];
    DWORD length = GetEnvironmentVariableW(L"TESTJVM_LOG", path, 1024);
    if (length == 0) {
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&Record), &self);
        length = GetModuleFileNameW(self, path, 1000);
        wchar_t* name = wcsrchr(path, L'\\');
        if (length == 0 || length >= 1000 || name == nullptr) return;
        wcscpy(name + 1, L"splash.log");
    }
    if (length >= 1024) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string line = "splash " + record + "\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

DWORD WINAPI WindowThread(LPVOID ready) {
    splashWindow = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"testsplash", WS_POPUP | WS_VISIBLE, 100, 100, 120, 80,
                                   nullptr, nullptr, nullptr, nullptr);
    SetEvent(static_cast<HANDLE>(ready));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_APP) DestroyWindow(splashWindow);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) void SplashInit() { Record("SplashInit"); }

__declspec(dllexport) int SplashLoadFile(const char* file) {
    Record(std::string("SplashLoadFile ") + file);
    HANDLE opened = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(opened);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    splashThread = CreateThread(nullptr, 0, WindowThread, ready, 0, nullptr);
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
    return 1;
}

__declspec(dllexport) void SplashSetFileJarName(const char* file, const char* jar) {
    Record(std::string("SplashSetFileJarName ") + file + (jar ? std::string(" ") + jar : std::string()));
}

__declspec(dllexport) void SplashClose() {
    Record("SplashClose");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "splash SplashClose\r\n", 20, &written, nullptr);
    if (splashThread) PostThreadMessageW(GetThreadId(splashThread), WM_APP, 0, 0);
}

__declspec(dllexport) int SplashGetScaledImgNameMaxPstfixLen(const char*) { return 8; }

__declspec(dllexport) unsigned char SplashGetScaledImageName(const char*, const char*, float*, char*, size_t) {
    return 0;
}

__declspec(dllexport) void SplashSetScaleFactor(float) {}

}  // extern "C"
