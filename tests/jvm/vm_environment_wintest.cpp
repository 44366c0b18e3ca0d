// What a child process of the Java program inherits after the VM environment is prepared.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "jvm/vm_library.h"
#include "launcher/launcher.h"
#include "platform/environment.h"
#include "platform/handles_win.h"

using namespace kestran;

namespace {

// Runs `cmd /c <command>` and gives its standard output.
std::string RunChild(const std::wstring& command) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0)) return "no pipe";
    platform::UniqueHandle reader(read);
    platform::UniqueHandle writer(write);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION process{};
    std::wstring line = L"cmd.exe /c " + command;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        return "no child";
    }
    platform::UniqueHandle processHandle(process.hProcess);
    platform::UniqueHandle threadHandle(process.hThread);
    writer.reset();
    std::string output;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(read, chunk, sizeof chunk, &got, nullptr) && got > 0) output.append(chunk, got);
    WaitForSingleObject(process.hProcess, 10000);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

TEST(PrepareVmEnvironment, ChildProcessesSeeTheRuntimeAndItsPath) {
    launcher::Launcher launcher;
    launcher.vmLibraryPath = L"C:\\Java\\jre17\\bin\\server\\jvm.dll";
    launcher.systemPath = L"C:\\Vendor\\native";
    jvm::PrepareVmEnvironment(launcher, launcher, launcher);

    EXPECT_EQ(RunChild(L"echo %KESTRAN_JVM_PATH%"), "C:\\Java\\jre17\\bin\\server\\jvm.dll");
    EXPECT_EQ(RunChild(L"echo %KESTRAN_JVM_HOME%"), "C:\\Java\\jre17");
    std::string path = RunChild(L"echo %Path%");
    EXPECT_EQ(path.rfind("C:\\Vendor\\native;", 0), 0u) << path;
    EXPECT_NE(path.find(";C:\\Java\\jre17\\bin"), std::string::npos) << path;
    EXPECT_NE(path.find("\\system32"), std::string::npos) << path;  // the old Path stays in between
}

TEST(PrepareVmEnvironment, AVeryLongPathIsKeptRatherThanReplacedByItsName) {
    std::wstring saved(32768, L'\0');
    saved.resize(GetEnvironmentVariableW(L"Path", saved.data(), 32768));
    const std::wstring longPath = L"C:\\windows\\system32;" + std::wstring(32660, L'x');  // near the 32K limit
    SetEnvironmentVariableW(L"Path", longPath.c_str());

    launcher::Launcher launcher;
    launcher.vmLibraryPath = L"C:\\Java\\jre17\\bin\\server\\jvm.dll";
    launcher.systemPath = L"%SystemRoot%\\vendor";
    jvm::PrepareVmEnvironment(launcher, launcher, launcher);

    std::wstring path;
    platform::GetEnvironmentText(L"Path", path);
    SetEnvironmentVariableW(L"Path", saved.c_str());
    EXPECT_EQ(path.find(L"%Path%"), std::wstring::npos);
    EXPECT_NE(path.find(longPath), std::wstring::npos);
    EXPECT_NE(path.find(L";C:\\Java\\jre17\\bin"), std::wstring::npos);
}

}  // namespace
