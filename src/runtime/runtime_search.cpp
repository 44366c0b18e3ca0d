#include "runtime/runtime_search.h"

#include "config/version_number.h"
#include "platform/trace.h"

namespace kestran::runtime {
namespace {

const wchar_t kJavaHomeVariable[] = L"%JAVA_HOME%";

std::wstring Dotted(const config::VersionNumber& v) {
    return std::to_wstring(v.part[0]) + L'.' + std::to_wstring(v.part[1]) + L'.' + std::to_wstring(v.part[2]) +
           L'.' + std::to_wstring(v.part[3]);
}

const wchar_t* ViewName(RegistryView view) {
    return view == RegistryView::Wow32 ? L"32-bit view" : L"64-bit view";
}

void TraceLine(const std::wstring& line) { platform::Trace(line); }

// Probes `folder` and, on success, stores its library as the chosen one.
bool TakeLibrary(launcher::Launcher& launcher, const std::wstring& place, const std::wstring& folder,
                 const FileProber& files) {
    ProbeResult probe = ProbeRuntimeFolder(folder, launcher.jvmType, files);
    if (platform::TraceEnabled()) {
        TraceLine(place + L" " + folder + L": " +
                  (probe.libraryPath.empty() ? std::wstring(L"no usable jvm.dll for JVM Type " +
                                                            std::to_wstring(launcher.jvmType))
                                             : probe.libraryPath));
    }
    if (probe.libraryPath.empty()) return false;
    launcher.vmLibraryPath = std::move(probe.libraryPath);
    return true;
}

void TraceCandidates(const std::vector<RuntimeCandidate>& candidates, RegistryView view) {
    if (!platform::TraceEnabled()) return;
    TraceLine(L"registry " + std::wstring(ViewName(view)) + L": " + std::to_wstring(candidates.size()) +
              L" candidate(s) after sorting");
    for (size_t i = 0; i < candidates.size(); ++i) {
        const RuntimeCandidate& c = candidates[i];
        TraceLine(L"  " + std::to_wstring(i + 1) + L". " + Dotted(c.version) + L" " + c.homeFolder +
                  (c.serverVm ? L" server" : L" client") + (c.favoured ? L" favoured" : L""));
    }
}

}  // namespace

SelectionSettings SelectionSettingsOf(const launcher::Launcher& launcher) {
    SelectionSettings s;
    s.jvmType = launcher.jvmType;
    s.jdkAllowed = launcher.jdkAllowed;
    s.jreAllowed = launcher.jreAllowed;
    s.eitherKind = launcher.eitherKind;
    s.sunAllowed = launcher.sunAllowed;
    s.sunFavoured = launcher.sunFavoured;
    s.jrockitAllowed = launcher.jrockitAllowed;
    s.jrockitFavoured = launcher.jrockitFavoured;
    s.ibmAllowed = launcher.ibmAllowed;
    s.ibmFavoured = launcher.ibmFavoured;
    s.minVersion = launcher.minVersion;
    s.maxVersion = launcher.maxVersion;
    s.preferredVersions = launcher.preferredVersions;
    return s;
}

void CollectRegistryCandidates(const RuntimeKey& key, RegistryView view, const SelectionSettings& settings,
                               const RegistryReader& registry, const FileProber& files,
                               std::vector<RuntimeCandidate>& candidates) {
    const bool trace = platform::TraceEnabled();
    const std::wstring keyPath = key.path;
    std::vector<std::wstring> names;
    if (!registry.ListSubkeys(keyPath, view, names)) {
        if (trace) TraceLine(L"registry HKLM\\" + keyPath + L" (" + ViewName(view) + L"): not present");
        return;
    }
    const int32_t mode = ProbeModeForKey(settings, key);
    const bool favoured = IsCandidateFavoured(settings, key);
    for (const std::wstring& name : names) {
        const std::wstring where = L"registry HKLM\\" + keyPath + name + L" (" + ViewName(view) + L")";
        config::VersionNumber version;
        config::ParseVersion(name, 0, version);  // a name without digits stays 0.0.0.0
        if (!config::VersionInRange(version, settings.minVersion, settings.maxVersion)) {
            if (trace)
                TraceLine(where + L": version " + Dotted(version) + L" skipped, outside " +
                          Dotted(settings.minVersion) + L" .. " + Dotted(settings.maxVersion));
            continue;
        }
        std::vector<uint8_t> data;
        if (!registry.ReadValue(keyPath + name, view, kJavaHomeValue, data)) {
            if (trace) TraceLine(where + L": version " + Dotted(version) + L" skipped, no readable JavaHome");
            continue;
        }
        std::wstring home;
        RegistryTextStatus status = DecodeRegistryText(data, home);
        if (status != RegistryTextStatus::Ok) {
            if (trace)
                TraceLine(where + L": version " + Dotted(version) + L" skipped, JavaHome data " +
                          DescribeRegistryTextStatus(status));
            continue;
        }
        std::wstring folder;
        WithTrailingBackslash(home, folder);
        folder += key.homeSuffix;
        ProbeResult probe = ProbeRuntimeFolder(folder, mode, files);
        if (probe.libraryPath.empty()) {
            if (trace)
                TraceLine(where + L": version " + Dotted(version) + L" skipped, no usable jvm.dll in " + folder +
                          L" (probe mode " + std::to_wstring(mode) + L")");
            continue;
        }
        if (trace)
            TraceLine(where + L": version " + Dotted(version) + L" kept, " + probe.libraryPath +
                      (favoured ? L", favoured" : L""));
        candidates.push_back(RuntimeCandidate{version, folder, probe.serverVm, favoured});
    }
}

bool SearchRegistry(const launcher::Launcher& launcher, RegistryView view, const RegistryReader& registry,
                    const FileProber& files, std::wstring& homeFolder) {
    const bool trace = platform::TraceEnabled();
    if (view == RegistryView::Wow32 && launcher.pairProduct.empty()) {
        if (trace) TraceLine(L"registry 32-bit view: not searched, no Pair Product");
        return false;
    }
    const SelectionSettings settings = SelectionSettingsOf(launcher);
    std::vector<RuntimeCandidate> candidates;
    for (const RuntimeKey& key : kRuntimeKeys) {
        if (!IsKeyAdmitted(settings, key)) {
            if (trace)
                TraceLine(L"registry HKLM\\" + std::wstring(key.path) + L" (" + ViewName(view) +
                          L"): not searched under the JVM Source and VM Provider settings");
            continue;
        }
        CollectRegistryCandidates(key, view, settings, registry, files, candidates);
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

bool FindJavaRuntime(launcher::Launcher& launcher, const RuntimeSearchHost& host) {
    const bool trace = platform::TraceEnabled();
    const FileProber& files = host.Files();
    launcher.vmLibraryPath.clear();
    launcher.handOverToPair = false;
    bool found = false;

    std::wstring folder;
    if (WithTrailingBackslash(launcher.jrePath, folder)) {
        found = TakeLibrary(launcher, L"configured folder", folder, files);
        if (found) host.CheckVmLibraryMachine(launcher);
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
            if (!beside.empty()) found = TakeLibrary(launcher, L"beside the launcher", beside, files);
        } else if (trace) {
            TraceLine(L"beside the launcher: the launcher's folder is unknown");
        }
    }

    if (!found) {
        for (RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
            std::wstring home;
            if (!SearchRegistry(launcher, view, host.Registry(), files, home)) continue;
            // Only the first view that selects a runtime is used, even if its final probe fails.
            if (TakeLibrary(launcher, L"registry runtime", home, files)) {
                found = true;
                launcher.handOverToPair = view == RegistryView::Wow32;
            }
            break;
        }
    }

    if (!found) {
        std::wstring expanded = host.ExpandEnvironment(kJavaHomeVariable);
        if (expanded == kJavaHomeVariable) {
            if (trace) TraceLine(L"JAVA_HOME: not set");
        } else if (!WithTrailingBackslash(expanded, folder)) {
            if (trace) TraceLine(L"JAVA_HOME: empty or not expandable");
        } else if (!IsJavaRuntimeFolder(folder, files)) {
            if (trace) TraceLine(L"JAVA_HOME " + folder + L": no bin\\java.dll");
        } else {
            found = TakeLibrary(launcher, L"JAVA_HOME", folder, files);
            if (found) host.CheckVmLibraryMachine(launcher);
        }
    }

    if (!found) {
        if (trace) TraceLine(L"no Java runtime found");
        return false;
    }
    if (trace) {
        TraceLine(L"chosen " + launcher.vmLibraryPath);
        TraceLine(launcher.handOverToPair ? L"hand-over: the pair program " + launcher.pairProduct + L" runs it"
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
