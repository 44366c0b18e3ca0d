#include <windows.h>

#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "config/paths.h"
#include "launcher/launch_steps.h"
#include "config/user_settings_path.h"

using namespace kestran;

namespace {

std::wstring ReadJrePath(const std::wstring& file) {
    std::wstring value;
    config::OpenProfileSettings(file)->getValue(L"Java Runtime Environment", L"JRE Path", value);
    return value;
}

std::wstring Temp(const std::wstring& name) {
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer) + name + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
}

TEST(WriteBackJrePath, PerUserFilesOfTheLauncherAndItsPair) {
    launcher::Launcher launcher;
    launcher.productName = L"Kestran:Tests";
    launcher.productCode = L"code-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    launcher.pairProduct = L"C:\\Apps\\Tool32.exe";
    config::WriteBackJrePath(launcher, L"C:\\unused.ini", L"D:\\Picked\\jre");

    std::wstring own = config::UserSettingsFilePath(launcher, false);
    std::wstring pair = config::PairUserSettingsFilePath(launcher);
    EXPECT_NE(own.find(L"\\KestranTests\\"), std::wstring::npos) << std::string(own.begin(), own.end());
    EXPECT_EQ(config::FileNameOf(pair), L"Tool32.ini");
    EXPECT_EQ(ReadJrePath(own), L"D:\\Picked\\jre");
    EXPECT_EQ(ReadJrePath(pair), L"D:\\Picked\\jre");
}

// A service, and a launcher without product names (it has no per-user file).
TEST(WriteBackJrePath, ServiceModeOrNoPerUserFileWritesTheSettingsFiles) {
    for (bool service : {true, false}) {
        launcher::Launcher launcher;
        launcher.serviceMode = service;
        std::wstring folder = Temp(service ? L"kestran-service-" : L"kestran-nameless-");
        CreateDirectoryW(folder.c_str(), nullptr);
        launcher.pairProduct = folder + L"\\Tool32.exe";
        config::WriteBackJrePath(launcher, folder + L"\\Tool.ini", L"E:\\jre");
        EXPECT_EQ(ReadJrePath(folder + L"\\Tool.ini"), L"E:\\jre") << service;
        EXPECT_EQ(ReadJrePath(folder + L"\\Tool32.ini"), L"E:\\jre") << service;
    }
}

}  // namespace
