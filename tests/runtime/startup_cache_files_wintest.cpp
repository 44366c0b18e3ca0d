#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>

#include "runtime/startup_cache_files.h"

namespace kestran::runtime {
namespace {

// The cache folder is made for the user alone; one that grants someone else more is refused.
TEST(StartupCacheFolder, OnlyTheUsersOwnFolderIsUsed) {
    std::wstring temp(32768, L'\0');
    temp.resize(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()));
    const std::wstring root = temp + L"kestran-cache-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);
    SetEnvironmentVariableW(L"LOCALAPPDATA", root.c_str());

    std::wstring folder;
    std::wstring reason;
    ASSERT_TRUE(PlatformCacheFiles().ApplicationFolder(folder, reason)) << std::string(reason.begin(), reason.end());
    EXPECT_EQ(folder.rfind(root + L"\\Kestran\\StartupCache\\", 0), 0u);

    EXPLICIT_ACCESSW everyone{};
    BuildExplicitAccessWithNameW(&everyone, const_cast<wchar_t*>(L"Everyone"), GENERIC_ALL, GRANT_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclW(1, &everyone, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(acl);
    EXPECT_FALSE(PlatformCacheFiles().ApplicationFolder(folder, reason));
    EXPECT_NE(reason.find(L"S-1-1-0"), std::wstring::npos) << std::string(reason.begin(), reason.end());
}

}  // namespace
}  // namespace kestran::runtime
