#include <windows.h>

#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "config/paths.h"
#include "launcher/launch_steps.h"
#include "launcher/process_environment.h"

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

    std::wstring own = launcher::UserSettingsFilePath(launcher, false);
    std::wstring pair = launcher::PairUserSettingsFilePath(launcher);
    EXPECT_NE(own.find(L"\\KestranTests\\"), std::wstring::npos) << std::string(own.begin(), own.end());
    EXPECT_EQ(config::FileNameOf(pair), L"Tool32.ini");
    EXPECT_EQ(ReadJrePath(own), L"D:\\Picked\\jre");
    EXPECT_EQ(ReadJrePath(pair), L"D:\\Picked\\jre");
}

TEST(WriteBackJrePath, ServiceModeWritesTheSettingsFiles) {
    launcher::Launcher launcher;
    launcher.serviceMode = true;
    std::wstring folder = Temp(L"kestran-service-");
    CreateDirectoryW(folder.c_str(), nullptr);
    launcher.pairProduct = folder + L"\\Tool32.exe";
    config::WriteBackJrePath(launcher, folder + L"\\Tool.ini", L"E:\\jre");
    EXPECT_EQ(ReadJrePath(folder + L"\\Tool.ini"), L"E:\\jre");
    EXPECT_EQ(ReadJrePath(folder + L"\\Tool32.ini"), L"E:\\jre");
}

}  // namespace
