#include "runtime/runtime_search.h"

#include <utility>

#include "config/ini_document.h"
#include "config/paths.h"
#include "config/version_number.h"
#include "platform/decimal_text.h"
#include "platform/pe_header.h"
#include "platform/trace.h"
#include "runtime/registry_choice.h"

namespace kestran::runtime {
namespace {

const wchar_t kJavaHomeVariable[] = L"%JAVA_HOME%";

std::wstring Dotted(const config::VersionNumber& v) {
    return platform::DecimalText(v.part[0]) + L'.' + platform::DecimalText(v.part[1]) + L'.' + platform::DecimalText(v.part[2]) +
           L'.' + platform::DecimalText(v.part[3]);
}

const wchar_t* ViewName(RegistryView view) {
    return view == RegistryView::Wow32 ? L"32-bit view" : L"64-bit view";
}

void TraceLine(const std::wstring& line) { platform::Trace(line); }

std::wstring ForeignLibraryText(const ProbeResult& probe) {
    return probe.foreignLibrary + L" is a runtime for " + platform::DescribeMachine(probe.foreignMachine);
}

// Probes `folder` and, on success, stores its library as the chosen one.
bool TakeLibrary(const config::LaunchSettings& launch, RuntimeChoice& choice, const std::wstring& place, const std::wstring& folder,
                 const FileProber& files) {
    ProbeResult probe = ProbeRuntimeFolder(folder, launch.jvmType, files);
    if (platform::TraceEnabled()) {
        TraceLine(place + L" " + folder + L": " +
                  (!probe.libraryPath.empty()   ? probe.libraryPath
                   : probe.foreignMachine != 0 ? ForeignLibraryText(probe) + L", skipped"
                                               : L"no usable jvm.dll for JVM Type " + platform::DecimalText(launch.jvmType)));
    }
    // Kept to name the architecture should nothing else be found.
    if (probe.foreignMachine != 0 && choice.foreignMachine == 0) {
        choice.foreignLibraryPath = probe.foreignLibrary;
        choice.foreignMachine = probe.foreignMachine;
    }
    if (probe.libraryPath.empty()) return false;
    choice.vmLibraryPath = std::move(probe.libraryPath);
    return true;
}

std::wstring KeyName(RegistryRoot root, const std::wstring& keyPath) {
    return (root == RegistryRoot::CurrentUser ? L"HKCU\\" : L"HKLM\\") + keyPath;
}

// The key holding the folder value of version subkey `name`.
std::wstring FolderValueKey(const RuntimeKey& key, const std::wstring& name) {
    std::wstring valueKey = key.path + name;
    if (*key.valueKey != L'\0') valueKey += L'\\' + std::wstring(key.valueKey);
    return valueKey;
}

// A key of the table as the trace names it: rows that differ only below the version subkey
// stay apart ("...\JDK\*\hotspot\MSI").
std::wstring KeyLabel(RegistryRoot root, const RuntimeKey& key) {
    std::wstring label = KeyName(root, key.path);
    if (*key.valueKey != L'\0') label += L"*\\" + std::wstring(key.valueKey);
    return label;
}

std::wstring DescribeValueType(RegistryValueType type) {
    switch (type) {
        case RegistryValueType::Dword: return L"a DWORD";
        case RegistryValueType::Qword: return L"a QWORD";
        case RegistryValueType::Binary: return L"binary data";
        default: return L"of type " + platform::DecimalText(static_cast<uint32_t>(type));
    }
}

// The folder text of the key's value under `valueKey`; false with the reason otherwise.
bool ReadFolderValue(const RuntimeKey& key, const RegistryReader& registry, const std::wstring& valueKey,
                     RegistryView view, const RuntimeSearchHost& host, std::wstring& folder, std::wstring& refusal) {
    const std::wstring valueName = key.valueName;
    std::vector<uint8_t> data;
    RegistryValueType type = RegistryValueType::None;
    if (!registry.ReadValue(valueKey, view, valueName, data, type)) {
        refusal = L"no readable " + valueName;
        return false;
    }
    const bool text = type == RegistryValueType::String || type == RegistryValueType::ExpandString;
    // The JavaSoft keys have always been read whatever the type; installers of today keep
    // DWORD flags in the same key, one of them even named "JavaHome".
    if (key.installer && !text) {
        refusal = valueName + L" is " + DescribeValueType(type) + L", not a folder";
        return false;
    }
    RegistryTextStatus status = DecodeRegistryText(data, folder);
    if (status != RegistryTextStatus::Ok) {
        refusal = valueName + L" data " + DescribeRegistryTextStatus(status);
        return false;
    }
    if (key.installer && folder.size() > config::kLongPathLimit) {
        refusal = valueName + L" longer than " + platform::DecimalText(config::kLongPathLimit) + L" characters";
        return false;
    }
    if (type == RegistryValueType::ExpandString) {
        std::wstring expanded = host.ExpandEnvironment(folder);
        if (expanded.empty()) {
            refusal = valueName + L" could not be expanded";
            return false;
        }
        folder = std::move(expanded);
    }
    return true;
}

bool HasCandidateFolder(const std::vector<RuntimeCandidate>& candidates, const std::wstring& folder) {
    for (const RuntimeCandidate& c : candidates)
        if (config::EqualsAsciiNoCase(c.homeFolder, folder)) return true;
    return false;
}

void TraceCandidates(const std::vector<RuntimeCandidate>& candidates, RegistryView view) {
    if (!platform::TraceEnabled()) return;
    TraceLine(L"registry " + std::wstring(ViewName(view)) + L": " + platform::DecimalText(candidates.size()) +
              L" candidate(s) after sorting");
    for (size_t i = 0; i < candidates.size(); ++i) {
        const RuntimeCandidate& c = candidates[i];
        TraceLine(L"  " + platform::DecimalText(i + 1) + L". " + Dotted(c.version) + L" " + c.homeFolder +
                  (c.serverVm ? L" server" : L" client") + (c.favoured ? L" favoured" : L""));
    }
}

}  // namespace

config::VersionNumber RegisteredVersion(const RuntimeKey& key, const std::wstring& subkeyName) {
    config::VersionNumber version;
    config::ParseVersion(subkeyName, 0, version);  // a name without digits stays 0.0.0.0
    // Installers name Java 8 "8.0.392.8" where the JavaSoft keys say "1.8.0_392"; numbered
    // alike, "Maximum Version=1.8" and "Preferred versions=1.8" mean the same runtimes.
    if (!key.installer || version.part[0] < 2 || version.part[0] > 8) return version;
    return config::VersionNumber{{1, version.part[0], version.part[1], version.part[2]}};
}

std::vector<RegistryPlace> RegistryPlacesInOrder() {
    // The JavaSoft-era keys first, so that their runtimes keep their place among equals; each
    // group for every user, then for the current user.
    const std::pair<const RuntimeKey*, const RuntimeKey*> groups[] = {
        {kRuntimeKeys, kRuntimeKeys + kRuntimeKeyCount},
        {kInstallerRuntimeKeys, kInstallerRuntimeKeys + kInstallerRuntimeKeyCount},
    };
    std::vector<RegistryPlace> places;
    for (const auto& group : groups) {
        for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
            for (const RuntimeKey* key = group.first; key != group.second; ++key) places.push_back({key, root});
        }
    }
    return places;
}

bool CheckRegistration(const RuntimeKey& key, RegistryRoot root, RegistryView view, const std::wstring& name,
                       int32_t mode, const RuntimeSearchHost& host, std::wstring& folder, ProbeResult& probe,
                       std::wstring& refusal) {
    std::wstring home;
    if (!ReadFolderValue(key, host.Registry(root), FolderValueKey(key, name), view, host, home, refusal)) return false;
    WithTrailingBackslash(home, folder);
    folder += key.homeSuffix;
    probe = ProbeRuntimeFolder(folder, mode, host.Files());
    if (probe.libraryPath.empty() && probe.foreignMachine == 0 && key.installer && key.kind == RuntimeKind::Jdk) {
        // Up to Java 8 a JDK keeps its VM in the runtime inside it; later JDKs have none.
        probe = ProbeRuntimeFolder(folder + kJdkInnerRuntimeFolder, mode, host.Files());
        if (!probe.libraryPath.empty()) folder += kJdkInnerRuntimeFolder;
    }
    if (!probe.libraryPath.empty()) return true;
    if (probe.foreignMachine != 0) {
        refusal = ForeignLibraryText(probe);
        return false;
    }
    refusal = L"no usable jvm.dll in " + folder +
              (key.installer && key.kind == RuntimeKind::Jdk ? L" or its jre\\" : L"") + L" (probe mode " +
              platform::DecimalText(mode) + L")";
    return false;
}

SelectionSettings SelectionSettingsOf(const config::LaunchSettings& launch) {
    SelectionSettings s;
    s.jvmType = launch.jvmType;
    s.jdkAllowed = launch.jdkAllowed;
    s.jreAllowed = launch.jreAllowed;
    s.eitherKind = launch.eitherKind;
    s.sunAllowed = launch.sunAllowed;
    s.sunFavoured = launch.sunFavoured;
    s.jrockitAllowed = launch.jrockitAllowed;
    s.jrockitFavoured = launch.jrockitFavoured;
    s.ibmAllowed = launch.ibmAllowed;
    s.ibmFavoured = launch.ibmFavoured;
    s.minVersion = launch.minVersion;
    s.maxVersion = launch.maxVersion;
    s.preferredVersions = launch.preferredVersions;
    return s;
}

void CollectRegistryCandidates(const RuntimeKey& key, RegistryRoot root, RegistryView view,
                               const SelectionSettings& settings, const RuntimeSearchHost& host,
                               std::vector<RuntimeCandidate>& candidates) {
    const bool trace = platform::TraceEnabled();
    const RegistryReader& registry = host.Registry(root);
    const std::wstring keyPath = key.path;
    std::vector<std::wstring> names;
    if (!registry.ListSubkeys(keyPath, view, names)) {
        if (trace) TraceLine(L"registry " + KeyLabel(root, key) + L" (" + ViewName(view) + L"): not present");
        return;
    }
    const int32_t mode = ProbeModeForKey(settings, key);
    const bool favoured = IsCandidateFavoured(settings, key);
    for (const std::wstring& name : names) {
        std::wstring where;  // the trace's name of the subkey, made only for the trace
        if (trace) where = L"registry " + KeyName(root, FolderValueKey(key, name)) + L" (" + ViewName(view) + L")";
        const config::VersionNumber version = RegisteredVersion(key, name);
        if (!config::VersionInRange(version, settings.minVersion, settings.maxVersion)) {
            if (trace)
                TraceLine(where + L": version " + Dotted(version) + L" skipped, outside " +
                          Dotted(settings.minVersion) + L" .. " + Dotted(settings.maxVersion));
            continue;
        }
        std::wstring folder;
        ProbeResult probe;
        std::wstring refusal;
        if (!CheckRegistration(key, root, view, name, mode, host, folder, probe, refusal)) {
            if (trace) TraceLine(where + L": version " + Dotted(version) + L" skipped, " + refusal);
            continue;
        }
        // Temurin can register one runtime under both its own key and the JavaSoft keys; the
        // first registration stays, so an equal JavaSoft runtime keeps winning as before.
        if (key.installer && HasCandidateFolder(candidates, folder)) {
            if (trace)
                TraceLine(where + L": version " + Dotted(version) + L" skipped, " + folder +
                          L" is already a candidate");
            continue;
        }
        if (trace)
            TraceLine(where + L": version " + Dotted(version) + L" kept, " + probe.libraryPath +
                      (favoured ? L", favoured" : L""));
        candidates.push_back(RuntimeCandidate{version, folder, probe.serverVm, favoured});
    }
}

bool SearchRegistry(const config::LaunchSettings& launch, RegistryView view, const RuntimeSearchHost& host,
                    std::wstring& homeFolder) {
    const bool trace = platform::TraceEnabled();
    if (view == RegistryView::Wow32 && launch.pairProduct.empty()) {
        if (trace) TraceLine(L"registry 32-bit view: not searched, no Pair Product");
        return false;
    }
    const SelectionSettings settings = SelectionSettingsOf(launch);
    // Without a trace to explain every subkey, only the subkeys the choice reaches are read.
    if (!trace && CanChooseBeforeProbing(settings)) {
        RuntimeCandidate chosen;
        if (!ChooseRegisteredRuntime(settings, view, host, chosen)) return false;
        homeFolder = chosen.homeFolder;
        return true;
    }
    std::vector<RuntimeCandidate> candidates;
    for (const RegistryPlace& place : RegistryPlacesInOrder()) {
        if (!IsKeyAdmitted(settings, *place.key)) {
            if (trace)
                TraceLine(L"registry " + KeyLabel(place.root, *place.key) + L" (" + ViewName(view) +
                          L"): not searched under the JVM Source and VM Provider settings");
            continue;
        }
        CollectRegistryCandidates(*place.key, place.root, view, settings, host, candidates);
    }
    RuntimeCandidate chosen;
    const std::wstring* matchedPreferred = nullptr;
    if (!SelectRuntime(settings, candidates, chosen, &matchedPreferred)) {
        if (trace) TraceLine(L"registry " + std::wstring(ViewName(view)) + L": no candidate");
        return false;
    }
    TraceCandidates(candidates, view);
    if (trace) {
        std::wstring reason = matchedPreferred ? L"by preferred version \"" + *matchedPreferred + L"\""
                                               : std::wstring(L"the first after sorting");
        TraceLine(L"registry " + std::wstring(ViewName(view)) + L": selected " + Dotted(chosen.version) + L" " +
                  chosen.homeFolder + L", " + reason);
    }
    homeFolder = chosen.homeFolder;
    return true;
}

bool FindJavaRuntime(const config::LaunchSettings& launch, RuntimeChoice& choice, const RuntimeSearchHost& host) {
    const bool trace = platform::TraceEnabled();
    const FileProber& files = host.Files();
    choice.vmLibraryPath.clear();
    choice.handOverToPair = false;
    choice.foreignLibraryPath.clear();
    choice.foreignMachine = 0;
    bool found = false;

    std::wstring folder;
    if (WithTrailingBackslash(launch.jrePath, folder)) {
        found = TakeLibrary(launch, choice, L"configured folder", folder, files);
        if (found) host.CheckVmLibraryMachine(launch, choice);
    } else if (trace) {
        TraceLine(L"configured folder: none");
    }

    if (!found) {
        std::wstring own;
        if (host.LauncherFolder(own)) {
            std::wstring beside;
            if (IsJavaRuntimeFolder(own, files)) {
                beside = own;
            } else if (IsJavaRuntimeFolder(own + kBesideLauncherFolder, files)) {
                beside = own + kBesideLauncherFolder;
            } else if (trace) {
                TraceLine(L"beside the launcher: no bin\\java.dll in " + own + L" or " + own + kBesideLauncherFolder);
            }
            if (!beside.empty()) found = TakeLibrary(launch, choice, L"beside the launcher", beside, files);
        } else if (trace) {
            TraceLine(L"beside the launcher: the launcher's folder is unknown");
        }
    }

    if (!found) {
        for (RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
            std::wstring home;
            if (!SearchRegistry(launch, view, host, home)) continue;
            // Only the first view that selects a runtime is used, even if its final probe fails.
            if (TakeLibrary(launch, choice, L"registry runtime", home, files)) {
                found = true;
                choice.handOverToPair = view == RegistryView::Wow32;
            }
            break;
        }
    }

    if (!found) {
        std::wstring expanded = host.ExpandEnvironment(kJavaHomeVariable);
        // A relative JAVA_HOME is taken against the current directory now: probed relative but
        // loaded by a relative name, jvm.dll would be looked for along the DLL search path.
        if (!expanded.empty() && expanded != kJavaHomeVariable && !config::IsAbsolutePath(expanded)) {
            expanded = host.FullPath(expanded);
        }
        if (expanded == kJavaHomeVariable) {
            if (trace) TraceLine(L"JAVA_HOME: not set");
        } else if (!WithTrailingBackslash(expanded, folder)) {
            if (trace) TraceLine(L"JAVA_HOME: empty or not expandable");
        } else if (!IsJavaRuntimeFolder(folder, files)) {
            if (trace) TraceLine(L"JAVA_HOME " + folder + L": no bin\\java.dll");
        } else {
            found = TakeLibrary(launch, choice, L"JAVA_HOME", folder, files);
            if (found) host.CheckVmLibraryMachine(launch, choice);
        }
    }

    if (!found) {
        if (trace) TraceLine(L"no Java runtime found");
        return false;
    }
    choice.foreignLibraryPath.clear();
    choice.foreignMachine = 0;
    if (trace) {
        TraceLine(L"chosen " + choice.vmLibraryPath);
        TraceLine(choice.handOverToPair ? L"hand-over: the pair program " + launch.pairProduct + L" runs it"
                                          : std::wstring(L"hand-over: no, this process loads it"));
    }
    return true;
}

bool LauncherFolderOf(const std::wstring& modulePath, std::wstring& out) {
    size_t slash = modulePath.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    out = modulePath.substr(0, slash + 1);
    return true;
}

}  // namespace kestran::runtime
