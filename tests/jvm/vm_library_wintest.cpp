#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "config/messages.h"
#include "jvm/vm_create.h"
#include "jvm/vm_library.h"

namespace kestran::jvm {
namespace {

std::wstring ModuleFolder() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring TempFolder(const std::wstring& name) {
    std::wstring buffer(32768, L'\0');
    buffer.resize(GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data()));
    std::wstring folder = buffer + name + L"-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring Variable(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length);
    return value;
}

// Standard output of the calls made while it lives, read back from a file (the launcher
// writes with WriteFile on the standard handle).
class CapturedOutput {
public:
    CapturedOutput() : path_(TempFolder(L"kestran-capture") + L"\\out.txt") {
        file_ = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                            nullptr);
        saved_ = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, file_);
    }
    ~CapturedOutput() {
        Restore();
        CloseHandle(file_);
        DeleteFileW(path_.c_str());
    }
    std::string Text() {
        Restore();
        std::string text(GetFileSize(file_, nullptr), '\0');
        SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
        DWORD read = 0;
        ReadFile(file_, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
        text.resize(read);
        return text;
    }

private:
    void Restore() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }
    std::wstring path_;
    HANDLE file_;
    HANDLE saved_;
};

TEST(PrepareVmEnvironment, PublishesTheRuntimeAndExtendsPath) {
    const std::wstring oldPath = Variable(L"Path");
    launcher::Launcher launcher;
    launcher.vmLibraryPath = L"E:\\rt\\bin\\server\\jvm.dll";
    launcher.libraryPath = L"C:\\x;";
    launcher.systemPath = L"C:\\sys";
    PrepareVmEnvironment(launcher);

    EXPECT_EQ(Variable(L"KESTRAN_JVM_PATH"), L"E:\\rt\\bin\\server\\jvm.dll");
    EXPECT_EQ(Variable(L"KESTRAN_JVM_HOME"), L"E:\\rt");
    EXPECT_EQ(Variable(L"Path"), L"C:\\sys;" + oldPath + L";E:\\rt\\bin");
    const std::wstring expected = L"C:\\x;" + ModuleFolder() + L"\\;.;" + oldPath + L";E:\\rt\\lib";
    EXPECT_EQ(launcher.libraryPath, expected);
    ASSERT_EQ(launcher.vmOptions.size(), 1u);
    EXPECT_EQ(launcher.vmOptions[0], config::ToAnsi(L"-Djava.library.path=" + expected));

    SetEnvironmentVariableW(L"Path", oldPath.c_str());
    SetEnvironmentVariableW(L"KESTRAN_JVM_PATH", nullptr);
    SetEnvironmentVariableW(L"KESTRAN_JVM_HOME", nullptr);
}

TEST(LoadVmLibrary, FailuresPrintTheirLine) {
    const std::wstring folder = TempFolder(L"kestran-vmlib");
    const std::wstring notPe = folder + L"\\notpe.dll";
    HANDLE file = CreateFileW(notPe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "MZ not really", 13, &written, nullptr);
    CloseHandle(file);

    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    struct Case {
        std::wstring path;
        std::string expected;
    };
    const Case cases[] = {
        {folder + L"\\missing\\bin\\server\\jvm.dll",
         "Error: Failed to load Java VM library: " + config::ToAnsi(folder) +
             "\\missing\\bin\\server\\jvm.dll (errno = 126).\r\n \r\n"},
        {notPe, "Error: Failed to load Java VM library: " + config::ToAnsi(notPe) + " (errno = 193).\r\n \r\n"},
        // A library that exports nothing of JNI.
        {std::wstring(system) + L"\\version.dll",
         "Error: Windows exception: cannot find CreateJavaVM JNI (errno = 127).\r\n \r\n"},
    };
    for (const Case& c : cases) {
        launcher::Launcher launcher;
        CapturedOutput output;
        EXPECT_FALSE(LoadVmLibrary(launcher, c.path)) << config::ToAnsi(c.path);
        EXPECT_EQ(output.Text(), c.expected);
        EXPECT_EQ(launcher.vmEntryPoints.createJavaVm, nullptr);
    }
}

// The test runtime's variants, built beside this program.
std::wstring TestRuntime(const wchar_t* name) { return ModuleFolder() + L"\\testjvm\\" + name; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(LoadVmLibrary, ResolvesTheEntryPointsOfTheTestRuntime) {
    if (!Exists(TestRuntime(L"jvm.dll"))) GTEST_SKIP() << "the test runtime is not built";
    {
        launcher::Launcher launcher;
        CapturedOutput output;
        ASSERT_TRUE(LoadVmLibrary(launcher, TestRuntime(L"jvm.dll")));
        EXPECT_EQ(output.Text(), "");
        EXPECT_NE(launcher.vmEntryPoints.createJavaVm, nullptr);
        EXPECT_NE(launcher.vmEntryPoints.getDefaultJavaVmInitArgs, nullptr);
        EXPECT_NE(launcher.vmEntryPoints.findClassFromBootLoader, nullptr);
    }
    {
        launcher::Launcher launcher;
        CapturedOutput output;
        ASSERT_TRUE(LoadVmLibrary(launcher, TestRuntime(L"jvm_noboot.dll")));
        EXPECT_EQ(output.Text(), "");
        EXPECT_EQ(launcher.vmEntryPoints.findClassFromBootLoader, nullptr);
    }
    const std::string missingEntry = "Error: Windows exception: cannot find CreateJavaVM JNI (errno = 127).\r\n \r\n";
    {
        // Refused with the CreateJavaVM text although it is the other entry that is missing.
        launcher::Launcher launcher;
        CapturedOutput output;
        EXPECT_FALSE(LoadVmLibrary(launcher, TestRuntime(L"jvm_nodefaults.dll")));
        EXPECT_EQ(output.Text(), missingEntry);
        EXPECT_NE(launcher.vmEntryPoints.createJavaVm, nullptr);  // stored as soon as resolved
    }
    {
        launcher::Launcher launcher;
        CapturedOutput output;
        EXPECT_FALSE(LoadVmLibrary(launcher, TestRuntime(L"jvm_nocreate.dll")));
        EXPECT_EQ(output.Text(), missingEntry);
    }
    {
        launcher::Launcher launcher;
        CapturedOutput output;
        EXPECT_FALSE(LoadVmLibrary(launcher, TestRuntime(L"jvm32.dll")));
        EXPECT_EQ(output.Text(), "Error: Failed to load Java VM library: " + config::ToAnsi(TestRuntime(L"jvm32.dll")) +
                                     " (errno = 193).\r\n \r\n");
    }
}

}  // namespace
}  // namespace kestran::jvm
