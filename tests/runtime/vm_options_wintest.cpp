#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/messages.h"
#include "config/paths.h"
#include "config/settings_store.h"
#include "runtime/memory_options.h"
#include "runtime/vm_options.h"

namespace kestran::runtime {
namespace {

std::wstring TempFolder(const std::wstring& name) {
    std::wstring buffer(32768, L'\0');
    buffer.resize(GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data()));
    std::wstring folder = buffer + name + L"-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void Touch(const std::wstring& path) {
    CloseHandle(CreateFileW(config::WithLongPathPrefix(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr));
}

std::vector<std::wstring> Matches(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    PlatformOptionSources().ListMatches(pattern, names);
    return names;
}

TEST(PlatformOptionSources, ListsMatchesOnDisk) {
    const std::wstring lib = TempFolder(L"kestran-cp-list");
    for (const wchar_t* name : {L"a.jar", L"b.jar", L"notes.txt"}) Touch(lib + L"\\" + name);
    CreateDirectoryW((lib + L"\\sub.jar").c_str(), nullptr);

    std::vector<std::wstring> jars = Matches(lib + L"\\*.jar");
    std::sort(jars.begin(), jars.end());
    EXPECT_EQ(jars, (std::vector<std::wstring>{L"a.jar", L"b.jar", L"sub.jar"}));  // folders count too
    std::vector<std::wstring> all = Matches(lib + L"\\*");
    EXPECT_EQ(all.size(), 6u);  // ".", ".." and the four entries
    EXPECT_EQ(Matches(lib + L"/*.txt"), std::vector<std::wstring>{L"notes.txt"});
    EXPECT_TRUE(Matches(lib + L"\\*.zip").empty());
    EXPECT_TRUE(Matches(lib + L"\\missing\\*.jar").empty());
}

TEST(PlatformOptionSources, ListsMatchesInLongPaths) {
    std::wstring folder = TempFolder(L"kestran-cp-long");
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(50, L'l');
        CreateDirectoryW(config::WithLongPathPrefix(folder).c_str(), nullptr);
    }
    Touch(folder + L"\\deep.jar");
    EXPECT_EQ(Matches(folder + L"\\*.jar"), std::vector<std::wstring>{L"deep.jar"});
}

TEST(PlatformOptionSources, ReportsTheMachinesMemory) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    MemoryStatus memory = PlatformOptionSources().Memory();
    EXPECT_EQ(memory.totalPhysical, status.ullTotalPhys);
    EXPECT_GT(memory.availableVirtual, uint64_t{1} << 40);  // a 64-bit process: terabytes
}

// The whole assembly against a real settings file, the real environment and disk.
TEST(AssembleVmOptions, FromARealSettingsFile) {
    const std::wstring root = TempFolder(L"kestran-cp-assemble");
    CreateDirectoryW((root + L"\\lib").c_str(), nullptr);
    Touch(root + L"\\lib\\only.jar");
    SetEnvironmentVariableW(L"KESTRAN_TEST_ROOT", root.c_str());

    const std::wstring ini = root + L"\\Tool.ini";
    const std::string text =
        "[Class Path]\r\nClass Path=%KESTRAN_TEST_ROOT%\\lib\\*.jar;C:\\shared\\x.jar\r\n"
        "[Java Runtime Environment]\r\nVirtual Machine Parameters=-Xmx50P \"-Dhome=%KESTRAN_TEST_ROOT%\" -Xss2m\r\n"
        "[Application]\r\nCmd=a \"b c\"\r\nOutput File=%KESTRAN_TEST_ROOT%\\out.log\r\nOutput Append=yes\r\n";
    HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);

    launcher::Launcher launcher;
    auto settings = config::OpenLayeredSettings(ini);
    ASSERT_TRUE(AssembleVmOptionsFrom(launcher, *settings, PlatformOptionSources()));

    const std::string rootAnsi = config::ToAnsi(root);
    const uint64_t halfKb = (PlatformOptionSources().Memory().totalPhysical >> 10) / 2;
    EXPECT_EQ(launcher.vmOptions,
              (std::vector<std::string>{"-Djava.class.path=" + rootAnsi + "\\lib\\only.jar;C:\\shared\\x.jar;",
                                        "-Xmx" + std::to_string(halfKb) + "K", "-Dhome=" + rootAnsi, "-Xss2m"}));
    EXPECT_EQ(launcher.threadStackSize, 2097152u);
    EXPECT_EQ(launcher.outputFile, root + L"\\out.log");
    EXPECT_TRUE(launcher.outputAppend);
    EXPECT_EQ(launcher.arguments, (std::vector<std::wstring>{L"a", L"b c"}));
    SetEnvironmentVariableW(L"KESTRAN_TEST_ROOT", nullptr);
}

// Characters outside the ANSI code page are replaced, as the VM expects ANSI option strings.
TEST(AssembleVmOptions, NonAnsiCharactersAreReplaced) {
    const std::wstring root = TempFolder(L"kestran-cp-ansi");
    const std::wstring ini = root + L"\\Tool.ini";
    const std::string text =
        "\xEF\xBB\xBF[Class Path]\r\nClass Path=C:\\caf\xC3\xA9\\\xE4\xB8\xAD.jar\r\n";  // UTF-8 with BOM
    HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);

    launcher::Launcher launcher;
    auto settings = config::OpenLayeredSettings(ini);
    ASSERT_TRUE(AssembleVmOptionsFrom(launcher, *settings, PlatformOptionSources()));
    ASSERT_EQ(launcher.vmOptions.size(), 1u);
    if (GetACP() == 1252) {
        EXPECT_EQ(launcher.vmOptions[0], "-Djava.class.path=C:\\caf\xE9\\?.jar;");
    }
}

}  // namespace
}  // namespace kestran::runtime
