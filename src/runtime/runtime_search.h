// Finding the Java runtime: configured folder, beside the launcher, registry, JAVA_HOME.
#pragma once

#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "runtime/registry_reader.h"
#include "runtime/runtime_keys.h"
#include "runtime/runtime_choice.h"
#include "runtime/runtime_probe.h"
#include "runtime/selection_policy.h"

namespace kestran::runtime {

// Searches as `launch` says; stores the chosen jvm.dll in choice.vmLibraryPath and gives true,
// or false when nothing was found. Sets choice.handOverToPair when the runtime must be run by
// the paired (32-bit) program.
bool FindJavaRuntime(const config::LaunchSettings& launch, RuntimeChoice& choice);

// What the search needs from the machine; the real one is built by FindJavaRuntime above.
class RuntimeSearchHost {
public:
    virtual ~RuntimeSearchHost() = default;
    virtual const FileProber& Files() const = 0;
    virtual const RegistryReader& Registry(RegistryRoot root) const = 0;
    // The launcher's folder with its trailing backslash; false when the module path is unknown.
    virtual bool LauncherFolder(std::wstring& out) const = 0;
    // The text with environment variables expanded; empty when expansion fails.
    virtual std::wstring ExpandEnvironment(const std::wstring& text) const = 0;
    // The full path of `path` against the current directory.
    virtual std::wstring FullPath(const std::wstring& path) const = 0;
    // Decides choice.handOverToPair from the machine type of choice.vmLibraryPath.
    virtual void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice) const = 0;
};

bool FindJavaRuntime(const config::LaunchSettings& launch, RuntimeChoice& choice, const RuntimeSearchHost& host);

SelectionSettings SelectionSettingsOf(const config::LaunchSettings& launch);

// Appends the qualifying runtimes registered under `key` below `root` in `view`, in subkey
// order. A runtime of an installer key whose folder is already in the list is not added again.
void CollectRegistryCandidates(const RuntimeKey& key, RegistryRoot root, RegistryView view,
                               const SelectionSettings& settings, const RuntimeSearchHost& host,
                               std::vector<RuntimeCandidate>& candidates);

// A key of the registry pass below one root.
struct RegistryPlace {
    const RuntimeKey* key;
    RegistryRoot root;
};
// Every key of the registry pass in search order.
std::vector<RegistryPlace> RegistryPlacesInOrder();
// The version a subkey name stands for under `key` (installers' 8.0.x numbered 1.8.0.x).
config::VersionNumber RegisteredVersion(const RuntimeKey& key, const std::wstring& subkeyName);
// One version subkey checked as the registry pass checks it: its folder value read, the folder
// probed with `mode`. False, with the reason as the trace gives it, when it offers no runtime.
bool CheckRegistration(const RuntimeKey& key, RegistryRoot root, RegistryView view, const std::wstring& name,
                       int32_t mode, const RuntimeSearchHost& host, std::wstring& folder, ProbeResult& probe,
                       std::wstring& refusal);

// One registry pass over the admitted keys; true and the chosen home folder when a runtime
// was selected. The 32-bit view is read only when a pair program can run its runtimes.
bool SearchRegistry(const config::LaunchSettings& launch, RegistryView view, const RuntimeSearchHost& host,
                    std::wstring& homeFolder);

// The module path up to and including its last backslash; false when it has none.
bool LauncherFolderOf(const std::wstring& modulePath, std::wstring& out);

}  // namespace kestran::runtime
