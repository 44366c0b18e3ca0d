#include <gtest/gtest.h>

#include <cstdlib>

#include "config/user_settings_path.h"

using kestran::config::UserSettingsFilePathFor;

TEST(UserSettingsFilePath, LayoutFromAppDataProductAndExeName) {
    setenv("APPDATA", "C:\\Users\\u\\AppData\\Roaming", 1);
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\Tool.exe", L"My:App*", L"7", false),
              L"C:\\Users\\u\\AppData\\Roaming\\MyApp\\7\\Tool.ini");
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\my.tool.exe", L"a\\?\"|><:/*b", L"", false),
              L"C:\\Users\\u\\AppData\\Roaming\\ab\\\\my.tool.ini");
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\Tool.exe", L"", L"", false), L"");  // not APPDATA\Tool.ini
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\Tool.exe", L":*", L"", false), L"");
}

TEST(UserSettingsFilePath, NoPerUserFileWithoutAppData) {
    unsetenv("APPDATA");
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\Tool.exe", L"", L"", false), L"");
    setenv("APPDATA", "", 1);
    EXPECT_EQ(UserSettingsFilePathFor(L"C:\\Apps\\Tool.exe", L"P", L"C", false), L"");
    unsetenv("APPDATA");
}
