#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/paths.h"
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
    EXPECT_EQ(jars, (std::vector<std::wstring>{L"a.jar", L"b.jar"}));  // not the folder sub.jar
    std::vector<std::wstring> all = Matches(lib + L"\\*");
    EXPECT_EQ(all.size(), 3u);  // the three files: no ".", ".." or folder
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

}  // namespace
}  // namespace kestran::runtime
