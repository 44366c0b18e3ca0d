#include "config/user_settings_path.h"

#include "config/paths.h"
#include "platform/environment.h"
#include "platform/module_path.h"

namespace kestran::config {

std::wstring UserSettingsFilePathFor(const std::wstring& exePath, const std::wstring& productName,
                                     const std::wstring& productCode, bool createDirectories) {
    // Without APPDATA there is no per-user folder: the path would land in the root of the
    // current drive (or, with empty product names, read as a network path).
    std::wstring path;
    if (!platform::GetEnvironmentText(L"APPDATA", path) || path.empty()) return {};

    // Characters that cannot stand in a folder name are dropped from the product name.
    std::wstring productFolder;
    for (wchar_t c : productName) {
        if (std::wstring(L"\\?\"|><:/*").find(c) == std::wstring::npos) productFolder.push_back(c);
    }
    // Without either name the file would be "%APPDATA%\\<exe>.ini" in the root of APPDATA, a
    // name any other program may use: there is no per-user file then.
    if (productFolder.empty() && productCode.empty()) return {};
    path += L"\\" + productFolder;
    if (createDirectories) CreateFolder(path);
    path += L"\\" + productCode;
    if (createDirectories) CreateFolder(path);

    std::wstring baseName = FileNameOf(exePath);
    size_t dot = baseName.rfind(L'.');
    if (dot != std::wstring::npos) baseName.erase(dot);
    return path + L"\\" + baseName + L".ini";
}

std::wstring UserSettingsFilePath(const LaunchSettings& settings, bool createDirectories) {
    std::wstring modulePath;
    if (!platform::GetModulePath(modulePath)) return {};
    return UserSettingsFilePathFor(modulePath, settings.productName, settings.productCode, createDirectories);
}

std::wstring PairUserSettingsFilePath(const LaunchSettings& settings) {
    if (settings.pairProduct.empty()) return {};
    return UserSettingsFilePathFor(settings.pairProduct, settings.productName, settings.productCode, true);
}

}  // namespace kestran::config
