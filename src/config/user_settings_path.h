// Where the per-user settings files live.
#pragma once

#include <string>

#include "config/launch_settings.h"

namespace kestran::config {

// %APPDATA%\<Product Name without \?"|><:/*>\<Product Code>\<exe base name>.ini; empty
// without APPDATA, and when both names are empty.
std::wstring UserSettingsFilePathFor(const std::wstring& exePath, const std::wstring& productName,
                                     const std::wstring& productCode, bool createDirectories);
// The launcher's own per-user settings file; empty when the module path is unreadable.
std::wstring UserSettingsFilePath(const LaunchSettings& settings, bool createDirectories);
// The paired program's per-user settings file (folders created); empty without "Pair Product".
std::wstring PairUserSettingsFilePath(const LaunchSettings& settings);

}  // namespace kestran::config
