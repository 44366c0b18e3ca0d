// Runs a program and writes its full 32-bit exit code to a file, since Wine's own exit
// status keeps only the low 8 bits.
//   exitcode_runner.exe <command line of the program, passed on verbatim>
// or, since Wine re-quotes Unix arguments, the exact command line in KESTRAN_TEST_COMMAND_LINE.
// Environment: KESTRAN_TEST_EXITCODE_FILE (Windows path of the result file),
//              KESTRAN_TEST_APPLICATION (optional: the program file, for names without ".exe"),
//              KESTRAN_TEST_TIMEOUT_MS (default 60000; on timeout the program is killed
//              and the file says "timeout").
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[32768];
    DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

// The rest of our own command line after the first token, untouched.
std::wstring CommandLineTail() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

void WriteResult(const std::wstring& path, const char* text) {
    if (path.empty()) {
        std::fprintf(stderr, "exitcode_runner: %s\n", text);
        return;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain() {
    std::wstring resultFile = Environment(L"KESTRAN_TEST_EXITCODE_FILE");
    std::wstring timeoutText = Environment(L"KESTRAN_TEST_TIMEOUT_MS");
    DWORD timeout = timeoutText.empty() ? 60000 : static_cast<DWORD>(std::wcstoul(timeoutText.c_str(), nullptr, 10));

    std::wstring commandLine = Environment(L"KESTRAN_TEST_COMMAND_LINE");
    if (commandLine.empty()) commandLine = CommandLineTail();
    // The program must not see our own control variables.
    std::wstring application = Environment(L"KESTRAN_TEST_APPLICATION");
    SetEnvironmentVariableW(L"KESTRAN_TEST_APPLICATION", nullptr);
    SetEnvironmentVariableW(L"KESTRAN_TEST_COMMAND_LINE", nullptr);
    SetEnvironmentVariableW(L"KESTRAN_TEST_EXITCODE_FILE", nullptr);
    SetEnvironmentVariableW(L"KESTRAN_TEST_TIMEOUT_MS", nullptr);
    // KESTRAN_TEST_NO_STDOUT: the program starts without a standard output, as a windowed
    // program started from Explorer does (standard error stays, for the trace).
    const bool noOutput = !Environment(L"KESTRAN_TEST_NO_STDOUT").empty();
    SetEnvironmentVariableW(L"KESTRAN_TEST_NO_STDOUT", nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (noOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        char text[64];
        std::snprintf(text, sizeof text, "start-failed %lu", GetLastError());
        WriteResult(resultFile, text);
        return 1;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 0xDEAD);
        WriteResult(resultFile, "timeout");
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    char text[32];
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(code));
    WriteResult(resultFile, text);
    return 0;
}
