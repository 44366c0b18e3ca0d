// The process's surroundings: working directory, per-user settings paths, and whether the
// chosen VM library must be handed over to the paired (32-bit) program.
#pragma once

#include <string>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Sets the working directory to the launcher's folder; never fails the launch.
void ApplyWorkingDirectory();
// %APPDATA%\<Product Name without \?"|><:/*>\<Product Code>\<exe base name>.ini; empty
// without APPDATA, and when both names are empty.
std::wstring UserSettingsFilePathFor(const std::wstring& exePath, const std::wstring& productName,
                                     const std::wstring& productCode, bool createDirectories);
// The launcher's own per-user settings file; empty when the module path is unreadable.
std::wstring UserSettingsFilePath(const Launcher& launcher, bool createDirectories);
// The paired program's per-user settings file (folders created); empty without "Pair Product".
std::wstring PairUserSettingsFilePath(const Launcher& launcher);
// Sets handOverToPair when "Pair Product" is set and vmLibraryPath is a 32-bit x86 image.
void CheckVmLibraryMachine(Launcher& launcher);

}  // namespace kestran::launcher
