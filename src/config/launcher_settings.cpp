#include "config/launcher_settings.h"

#include <algorithm>
#include <cwctype>

#include "config/messages.h"
#include "config/paths.h"
#include "config/split.h"
#include "config/user_settings_path.h"
#include "platform/error_report.h"
#include "platform/module_path.h"
#include "platform/trace.h"

namespace kestran::config {
namespace {

const std::wstring kProductSection = L"Product Information";
const std::wstring kRuntimeSection = L"Java Runtime Environment";
const std::wstring kApplicationSection = L"Application";

std::wstring Read(const SettingsStore& store, const std::wstring& section, const std::wstring& key) {
    std::wstring value;
    store.getValue(section, key, value);
    return value;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

}  // namespace

bool IsYesAnyCase(const std::wstring& value) { return EqualsNoCase(value, L"Yes"); }

uint32_t ParseWholeSeconds(const std::wstring& value, uint32_t fallback) {
    constexpr uint32_t kLongest = 86400;  // a day: anything longer is a typing error
    if (value.empty() || value.size() > 5) return fallback;
    uint32_t seconds = 0;
    for (wchar_t c : value) {
        if (c < L'0' || c > L'9') return fallback;
        seconds = seconds * 10 + static_cast<uint32_t>(c - L'0');
    }
    return seconds <= kLongest ? seconds : fallback;
}

uint32_t ParseStopTimeout(const std::wstring& value) { return ParseWholeSeconds(value, 30); }

int ParseJvmType(const std::wstring& value) {
    if (value == L"server") return 1;
    if (value == L"favor_server") return 2;
    return 0;
}

void ApplyJvmSource(LaunchSettings& launch, const std::wstring& value) {
    struct Row {
        const wchar_t* word;
        bool jdk, jre, either;
    };
    static const Row kRows[] = {
        {L"favor_JRE", false, true, true},
        {L"favor_JDK", true, false, true},
        {L"only_JRE", false, true, false},
        {L"only_JDK", true, false, false},
    };
    if (value.empty()) {
        launch.jdkAllowed = true;
        launch.jreAllowed = true;
        return;
    }
    for (const Row& row : kRows) {
        if (value == row.word) {
            launch.jdkAllowed = row.jdk;
            launch.jreAllowed = row.jre;
            launch.eitherKind = row.either;
            return;
        }
    }
    launch.jdkAllowed = launch.jreAllowed = launch.eitherKind = false;
}

void ApplyVmProvider(LaunchSettings& launch, const std::wstring& value) {
    struct Row {
        const wchar_t* word;
        bool jrockitAllowed, jrockitFavoured, sunAllowed, sunFavoured, ibmAllowed, ibmFavoured;
    };
    static const Row kRows[] = {
        {L"jrockit", true, true, false, false, false, false},
        {L"ibm", false, false, false, false, true, true},
        {L"favor_sun", true, false, true, true, true, false},
        {L"favor_jrockit", true, true, true, false, true, false},
        {L"favor_ibm", true, false, true, false, true, true},
        {L"any", true, false, true, false, true, false},
    };
    for (const Row& row : kRows) {
        if (EqualsNoCase(value, row.word)) {
            launch.jrockitAllowed = row.jrockitAllowed;
            launch.jrockitFavoured = row.jrockitFavoured;
            launch.sunAllowed = row.sunAllowed;
            launch.sunFavoured = row.sunFavoured;
            launch.ibmAllowed = row.ibmAllowed;
            launch.ibmFavoured = row.ibmFavoured;
            return;
        }
    }
}

std::wstring ResolveJrePath(const std::wstring& value, const std::wstring& moduleFolder) {
    if (IsAbsolutePath(value)) return value;
    return moduleFolder + L"\\" + value;
}

void ReadProductInformation(LaunchSettings& launch, const SettingsStore& productFile) {
    launch.productCode = Read(productFile, kProductSection, L"Product Code");
    launch.productName = Read(productFile, kProductSection, L"Product Name");
}

SettingsResult ReadLauncherSettings(LaunchSettings& launch, const SettingsStore& layered,
                                    const SettingsStore* userSettings, const std::wstring& moduleFolder) {
    std::wstring minimum = Read(layered, kRuntimeSection, L"Minimum Version");
    if (minimum == L"any") {
        launch.minVersion = VersionNumber{};
    } else {
        ParseVersion(minimum, 0, launch.minVersion);
    }
    std::wstring maximum = Read(layered, kRuntimeSection, L"Maximum Version");
    if (maximum == L"any") {
        launch.maxVersion = VersionNumber::Filled(kVersionUnsetHigh);
    } else {
        ParseVersion(maximum, kVersionUnsetHigh, launch.maxVersion);
    }

    if (Read(layered, kApplicationSection, L"Application Type") == L"service") {
        launch.serviceMode = true;
        // Lines from here on (a runtime not found) also go to the event log, once the process
        // is known to run as a service.
        platform::ReportAsConfiguredService();
        launch.omitServiceName = !Read(layered, kApplicationSection, L"Omit Service Name").empty();
    } else {
        // Asked for here; cleared again when the shared objects cannot be set up.
        launch.singleInstance = Read(layered, kApplicationSection, L"Single Instance") == L"yes";
    }

    SplitList(Read(layered, kRuntimeSection, L"Preferred versions"), L";", launch.preferredVersions);

    // The folder a user picked in the runtime dialog wins, even when empty, except for a service.
    const SettingsStore& jrePathSource = (!launch.serviceMode && userSettings) ? *userSettings : layered;
    launch.jrePath = ResolveJrePath(Read(jrePathSource, kRuntimeSection, L"JRE Path"), moduleFolder);

    launch.jvmType = ParseJvmType(Read(layered, kRuntimeSection, L"JVM Type"));
    ApplyJvmSource(launch, Read(layered, kRuntimeSection, L"JVM Source"));
    ApplyVmProvider(launch, Read(layered, kRuntimeSection, L"VM Provider"));

    std::wstring mainClass = Read(layered, kRuntimeSection, L"Main Class");
    if (mainClass.empty()) return SettingsResult::NoMainClass;
    std::replace(mainClass.begin(), mainClass.end(), L'.', L'/');
    launch.mainClass = mainClass;

    launch.failureCheck = IsYesAnyCase(Read(layered, kApplicationSection, L"Failure Check"));
    launch.overrideWorkingDir = IsYesAnyCase(Read(layered, kApplicationSection, L"Override WorkingDir"));
    launch.stopTimeout = ParseStopTimeout(Read(layered, kApplicationSection, L"Stop Timeout"));
    launch.systemPath = Read(layered, kRuntimeSection, L"System Path");
    launch.libraryPath = Read(layered, kRuntimeSection, L"Library Path");
    // A relative program name would be taken from whatever the current directory is (or a
    // program planted there): like "JRE Path", it is relative to the launcher's folder.
    launch.pairProduct = Read(layered, kApplicationSection, L"Pair Product");
    if (!launch.pairProduct.empty()) launch.pairProduct = ResolveJrePath(launch.pairProduct, moduleFolder);
    launch.pairReturnCode = IsYesAnyCase(Read(layered, kApplicationSection, L"Pair Return Code"));
    return SettingsResult::Loaded;
}

bool SettingsFilePath(std::wstring& out) {
    std::wstring modulePath;
    if (!platform::GetModulePath(modulePath)) return false;
    return ReplaceExtension(modulePath, L"ini", out);
}

bool LoadLauncherSettings(LaunchSettings& launch) {
    std::wstring modulePath;
    std::wstring settingsFile;
    if (!platform::GetModulePath(modulePath)) return false;
    if (!ReplaceExtension(modulePath, L"ini", settingsFile)) {
        PrintErrorLine(FormatMessageId(kMsgNoDotInPath, {modulePath}));
        return false;
    }
    if (platform::TraceEnabled()) {
        platform::Trace(L"settings file " + settingsFile + (FindFile(settingsFile) ? L"" : L" (not found: every key reads empty)"));
    }

    // Product Code and Name come first: they name the per-user settings file.
    auto layered = OpenLayeredSettings(settingsFile);
    ReadProductInformation(launch, layered->file());
    std::unique_ptr<SettingsStore> userSettings;
    std::wstring userPath =
        UserSettingsFilePathFor(modulePath, launch.productName, launch.productCode, false);
    // A wildcard (from the product code) would let the search match some other file.
    if (!userPath.empty() && userPath.find_first_of(L"*?") == std::wstring::npos && FindFile(userPath)) {
        userSettings = OpenProfileSettings(userPath);
    }
    platform::Trace(L"per-user settings file " + userPath + (userSettings ? L"" : L" (not found)"));

    if (ReadLauncherSettings(launch, *layered, userSettings.get(), FolderOf(modulePath)) == SettingsResult::NoMainClass) {
        // Most often the settings file itself is missing; say that first, naming it.
        FileSearch search;
        FoundFile found;
        if (!search.First(settingsFile, found)) {
            PrintErrorLine(FormatMessageId(kMsgSettingsFileMissing, {settingsFile}));
        } else if (found.isDirectory) {
            PrintErrorLine(FormatMessageId(kMsgSettingsFileIsFolder, {settingsFile}));
        }
        std::wstring text;
        Messages().LoadMessage(kMsgNoMainClass, text);
        PrintErrorLine(text);
        return false;
    }
    if (platform::TraceEnabled()) {
        platform::Trace(L"main class " + launch.mainClass + L", JRE path " + launch.jrePath +
                        (launch.serviceMode ? L", service mode" : L""));
        platform::Trace(L"version range " + FormatVersion(launch.minVersion) + L" to " + FormatVersion(launch.maxVersion));
    }
    launch.settings = std::move(layered);
    return true;
}

void WriteBackJrePath(const LaunchSettings& launch, const std::wstring& settingsFile,
                      const std::wstring& pickedFolder) {
    std::vector<std::wstring> targets;
    // Without a per-user file (no product names, no APPDATA) the pick is remembered where the
    // next start reads it: in the settings file, as for a service.
    if (launch.serviceMode || UserSettingsFilePath(launch, false).empty()) {
        targets.push_back(settingsFile);
        std::wstring pairSettings;
        if (!launch.pairProduct.empty() && ReplaceExtension(launch.pairProduct, L"ini", pairSettings)) {
            targets.push_back(pairSettings);
        }
    } else {
        targets.push_back(UserSettingsFilePath(launch, true));
        if (!launch.pairProduct.empty()) targets.push_back(PairUserSettingsFilePath(launch));
    }
    for (const std::wstring& target : targets) {
        if (target.empty()) continue;
        OpenProfileSettings(target)->setValue(kRuntimeSection, L"JRE Path", pickedFolder);
        platform::Trace(L"remembered JRE Path in " + target);
    }
}

}  // namespace kestran::config
