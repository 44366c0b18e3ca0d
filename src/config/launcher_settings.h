// Reading the settings files into the launch settings, and remembering the runtime folder the user picked.
#pragma once

#include <cstdint>
#include <string>

#include "config/launch_settings.h"
#include "config/settings_store.h"

namespace kestran::config {

// The settings file: the module path with everything after its last '.' replaced by "ini".
bool SettingsFilePath(std::wstring& out);

// Reads every key into `launch`. False (after message 210) when "Main Class" is empty,
// or when there is no settings file path.
bool LoadLauncherSettings(LaunchSettings& launch);

// The portable core of LoadLauncherSettings, in its two steps: "Product Information" from the
// settings file itself (it names the per-user file), then every other key through the layered
// store. `userSettings` is the per-user file when it exists, else null; `moduleFolder`
// resolves a relative "JRE Path".
void ReadProductInformation(LaunchSettings& launch, const SettingsStore& productFile);
enum class SettingsResult { Loaded, NoMainClass };
SettingsResult ReadLauncherSettings(LaunchSettings& launch, const SettingsStore& layered,
                                    const SettingsStore* userSettings, const std::wstring& moduleFolder);

// Derivations, exposed for tests.
void ApplyJvmSource(LaunchSettings& launch, const std::wstring& value);
void ApplyVmProvider(LaunchSettings& launch, const std::wstring& value);
int ParseJvmType(const std::wstring& value);
// Whole seconds from 0 up to a day; anything else (empty, signs, letters) gives `fallback`.
uint32_t ParseWholeSeconds(const std::wstring& value, uint32_t fallback);
// "Stop Timeout": ParseWholeSeconds with 30.
uint32_t ParseStopTimeout(const std::wstring& value);
std::wstring ResolveJrePath(const std::wstring& value, const std::wstring& moduleFolder);
bool IsYesAnyCase(const std::wstring& value);

// Writes "JRE Path" after the runtime dialog: in service mode, and when there is no per-user
// file, to the settings file (and the pair's); otherwise to the per-user file (and the pair's
// per-user file). Failures ignored.
void WriteBackJrePath(const LaunchSettings& launch, const std::wstring& settingsFile,
                      const std::wstring& pickedFolder);

}  // namespace kestran::config
