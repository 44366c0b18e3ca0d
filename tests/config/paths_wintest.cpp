#include <windows.h>

#include <gtest/gtest.h>

#include "config/paths.h"

using namespace kestran::config;

namespace {

std::wstring TempFolder(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer) + name + L"-" + std::to_wstring(GetCurrentProcessId());
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(EnsureParentDirectories, CreatesOnlyTheMissingFolders) {
    std::wstring root = TempFolder(L"kestran-ensure");
    CreateDirectoryW(root.c_str(), nullptr);
    EXPECT_EQ(EnsureParentDirectories(root + L"\\b\\c\\log.txt"), 0u);
    EXPECT_TRUE(IsFolder(root + L"\\b\\c"));
    EXPECT_FALSE(IsFolder(root + L"\\b\\c\\log.txt"));
    EXPECT_EQ(EnsureParentDirectories(root + L"\\b\\c\\log.txt"), 0u);  // all there already
}

TEST(EnsureParentDirectories, RelativePathIsBelowTheCurrentDirectory) {
    std::wstring root = TempFolder(L"kestran-relative");
    CreateDirectoryW(root.c_str(), nullptr);
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(root.c_str());
    EXPECT_EQ(EnsureParentDirectories(L"out\\log.txt"), 0u);
    SetCurrentDirectoryW(saved);
    EXPECT_TRUE(IsFolder(root + L"\\out"));
}

TEST(EnsureParentDirectories, FolderBlockedByAFileIsAnError) {
    std::wstring root = TempFolder(L"kestran-blocked");
    CreateDirectoryW(root.c_str(), nullptr);
    HANDLE file = CreateFileW((root + L"\\file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    EXPECT_NE(EnsureParentDirectories(root + L"\\file\\sub\\log.txt"), 0u);
}

TEST(FindFile, LongPathsAreFound) {
    std::wstring folder = TempFolder(L"kestran-long");
    CreateDirectoryW(folder.c_str(), nullptr);
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(60, L'd');
        ASSERT_TRUE(CreateDirectoryW(WithLongPathPrefix(folder).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    std::wstring file = folder + L"\\settings.ini";
    HANDLE handle = CreateFileW(WithLongPathPrefix(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EXPECT_TRUE(FindFile(file));
    EXPECT_FALSE(FindFile(folder + L"\\absent.ini"));
    EXPECT_FALSE(FindFile(std::wstring(40000, L'x')));
}

TEST(FileSearch, ReportsTheFolderOfTheMatch) {
    std::wstring folder = TempFolder(L"kestran-search");
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* name : {L"a.jar", L"b.jar", L"c.txt"}) {
        CloseHandle(CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    FileSearch search;
    FoundFile found;
    int jars = 0;
    for (bool more = search.First(folder + L"\\*.jar", found); more; more = search.Next(found)) {
        ++jars;
        EXPECT_EQ(found.folder, folder);
    }
    EXPECT_EQ(jars, 2);
}

TEST(ExpandEnvironment, BothForms) {
    SetEnvironmentVariableW(L"KESTRAN_TEST_VAR", L"value");
    SetEnvironmentVariableW(L"KESTRAN_UNSET_VAR", nullptr);
    std::wstring text = L"%KESTRAN_TEST_VAR%\\x";
    ExpandEnvironment(text);
    EXPECT_EQ(text, L"value\\x");
    std::wstring unset = L"%KESTRAN_UNSET_VAR%";
    ExpandEnvironment(unset);
    EXPECT_EQ(unset, L"%KESTRAN_UNSET_VAR%");
    EXPECT_EQ(ExpandedEnvironment(L"%KESTRAN_TEST_VAR%"), L"value");
    // Beyond the platform's 32K limit: the in-place form keeps the text as it was.
    const std::wstring huge = L"%KESTRAN_TEST_VAR%" + std::wstring(40000, L'a');
    std::wstring inPlace = huge;
    ExpandEnvironment(inPlace);
    EXPECT_TRUE(inPlace == huge);
    SetEnvironmentVariableW(L"KESTRAN_TEST_VAR", std::wstring(32000, L'v').c_str());
    std::wstring grows = L"%KESTRAN_TEST_VAR%%KESTRAN_TEST_VAR%";
    EXPECT_TRUE(ExpandedEnvironment(grows).empty());  // never a silently shortened value
}

}  // namespace
