#include "platform/system_library_win.h"

#include "config/messages.h"

namespace kestran::platform {

namespace {

// Spelled out: the SDK headers show it only for newer _WIN32_WINNT targets.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

std::wstring SystemFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) return {};
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length);
    }
}

}  // namespace

SystemLibrary::SystemLibrary(const wchar_t* fileName) : fileName_(fileName) {
    std::wstring folder = SystemFolder();
    if (folder.empty()) {
        error_ = GetLastError();
        return;
    }
    std::wstring path = folder + L"\\" + fileName_;
    // The flag keeps the library's own dependencies in the system folder too. A Windows 7
    // without the update that brought it rejects the flag (error 87): the full path alone
    // is still safe there.
    module_ = LoadLibraryExW(path.c_str(), nullptr, kLoadLibrarySearchSystem32);
    if (module_ == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        module_ = LoadLibraryExW(path.c_str(), nullptr, 0);
    }
    if (module_ == nullptr) error_ = GetLastError();
}

FARPROC SystemLibrary::Lookup(const char* exportName) {
    if (module_ == nullptr) return nullptr;
    FARPROC proc = GetProcAddress(module_, exportName);
    if (proc == nullptr && missingFunction_.empty()) {
        error_ = GetLastError();
        missingFunction_.assign(exportName, exportName + strlen(exportName));
    }
    return proc;
}

void SystemLibrary::ReportFailure() const {
    std::wstring detail = fileName_;
    if (!missingFunction_.empty()) detail += L" " + missingFunction_;
    config::PrintPlatformErrorText(detail, error_);
}

}  // namespace kestran::platform
