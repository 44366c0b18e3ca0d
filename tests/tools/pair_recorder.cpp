// Stands in for a paired launcher program: writes its own command line (UTF-8) to
// "<its own path>.cmdline", one line on its standard output, and exits with 3.
#include <windows.h>

#include <string>
#include <vector>

int wmain() {
    std::vector<wchar_t> self(260);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0) return 2;
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    std::wstring record(self.begin(), self.end());
    record += L".cmdline";
    const wchar_t* commandLine = GetCommandLineW();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string text(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, text.data(), bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    // Wine hands a child its parent's standard handles regardless; Windows only when they are
    // passed, so say whether they were.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const std::string line = std::string("pair standard output") +
                             ((startup.dwFlags & STARTF_USESTDHANDLES) != 0 ? " (handles passed)" : "") + "\r\n";
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return 3;
}
