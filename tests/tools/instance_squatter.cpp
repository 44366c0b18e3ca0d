// Takes a launcher's single-instance name first, as another program could: the block under the
// name given as the argument, owned by SYSTEM and open to everyone, with this program posing as
// the first instance. Prints "ready" once in place, answers every forwarded request with 0,
// prints "captured" for each, and ends when its standard input closes, with the number of
// requests it captured as its exit code.
#include <windows.h>
#include <sddl.h>

#include <cstdio>

namespace {

DWORD mainThreadId = 0;

DWORD WINAPI WatchInput(LPVOID) {
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    PostThreadMessageW(mainThreadId, WM_QUIT, 0, 0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 100;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
        return 101;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 2092, argv[1]);
    if (mapping == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) return 102;
    auto* block = static_cast<volatile DWORD*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (block == nullptr) return 103;
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    mainThreadId = GetCurrentThreadId();
    const UINT messageId = RegisterWindowMessageW(argv[1]);
    block[2] = messageId;
    block[1] = GetCurrentProcessId();
    block[0] = mainThreadId;
    CloseHandle(CreateThread(nullptr, 0, WatchInput, nullptr, 0, nullptr));
    std::printf("ready\n");
    std::fflush(stdout);
    int captured = 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != messageId) continue;
        ++captured;
        std::printf("captured\n");
        std::fflush(stdout);
        PostThreadMessageW(static_cast<DWORD>(message.wParam), messageId, 0, 0);
    }
    return captured;
}
