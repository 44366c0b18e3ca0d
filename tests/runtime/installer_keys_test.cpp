#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "runtime/runtime_search.h"
#include "runtime_fakes.h"

namespace kestran::runtime {
namespace {

using testing::FakeHost;
using testing::Utf16Bytes;

constexpr RegistryRoot LM = RegistryRoot::LocalMachine;
constexpr RegistryRoot CU = RegistryRoot::CurrentUser;
const wchar_t kTemurinJdk[] = L"SOFTWARE\\Eclipse Adoptium\\JDK\\";
const wchar_t kSemeruJdk[] = L"SOFTWARE\\Semeru\\JDK\\";
const wchar_t kZulu[] = L"SOFTWARE\\Azul Systems\\Zulu\\";
const std::wstring kLongFolder = L"C:\\" + std::wstring(33000, L'x') + L"\\";

struct Registration {
    RegistryRoot root;
    const wchar_t* key;
    const wchar_t* subkey;
    const wchar_t* valueKey;  // below the subkey; empty: the subkey itself
    const wchar_t* valueName;
    std::wstring folder;  // empty: a DWORD whose bytes would read as the folder "C"
    RegistryValueType type = RegistryValueType::String;
};

struct InstallerCase {
    const char* name;
    std::vector<Registration> registrations;
    const wchar_t* provider;
    const wchar_t* maxVersion;  // empty: none
    const wchar_t* preferred;
    std::wstring expected;  // the chosen home folder; empty: none
};

TEST(InstallerKeysTest, RuntimesOfTodaysInstallersAreFoundAndFiltered) {
    const Registration temurin17 = {LM, kTemurinJdk, L"17.0.9.9", L"hotspot\\MSI", L"Path", L"C:\\t17\\"};
    const InstallerCase cases[] = {
        {"Temurin MSI beside its JavaHome flag",
         {temurin17, {LM, kTemurinJdk, L"17.0.9.9", L"hotspot\\MSI", L"JavaHome", L""}}, L"", L"", L"", L"C:\\t17\\"},
        {"per-user Temurin JRE EXE",
         {{CU, L"SOFTWARE\\Eclipse Adoptium\\JRE\\", L"21.0.1.12", L"hotspot\\EXE", L"Path", L"C:\\t21"}}, L"", L"",
         L"", L"C:\\t21\\"},
        {"Temurin 8 JDK, VM in jre, numbered 1.8",
         {{LM, kTemurinJdk, L"8.0.392.8", L"hotspot\\MSI", L"Path", L"C:\\jdk8\\"}}, L"", L"1.8", L"1.8.0.392",
         L"C:\\jdk8\\jre\\"},
        {"Microsoft MSI", {{LM, L"SOFTWARE\\Microsoft\\JDK\\", L"17.0.9.8", L"hotspot\\MSI", L"Path", L"C:\\ms17\\"}},
         L"", L"", L"", L"C:\\ms17\\"},
        {"Semeru not by default", {{LM, kSemeruJdk, L"17.0.9.9", L"openj9\\MSI", L"Path", L"C:\\sem17\\"}}, L"", L"",
         L"", L""},
        {"Semeru for ibm", {{LM, kSemeruJdk, L"17.0.9.9", L"openj9\\MSI", L"Path", L"C:\\sem17\\"}}, L"ibm", L"", L"",
         L"C:\\sem17\\"},
        {"Semeru for any", {{LM, kSemeruJdk, L"17.0.9.9", L"openj9\\MSI", L"Path", L"C:\\sem17\\"}}, L"any", L"", L"",
         L"C:\\sem17\\"},
        {"AdoptOpenJDK OpenJ9 JRE for ibm",
         {{LM, L"SOFTWARE\\AdoptOpenJDK\\JRE\\", L"11.0.11.9", L"openj9\\MSI", L"Path", L"C:\\t21\\"}}, L"ibm", L"",
         L"", L"C:\\t21\\"},
        {"SapMachine", {{LM, L"SOFTWARE\\SapMachine\\JDK\\", L"21.0.1", L"", L"JavaHome", L"C:\\sap21\\"}}, L"", L"",
         L"", L"C:\\sap21\\"},
        {"Zulu by preferred version",
         {{LM, kZulu, L"zulu-17", L"", L"InstallationPath", L"C:\\zulu17\\"},
          {LM, kTemurinJdk, L"21.0.1.12", L"hotspot\\MSI", L"Path", L"C:\\t21\\"}},
         L"", L"", L"17", L"C:\\zulu17\\"},
        {"Path that is a DWORD", {{LM, kTemurinJdk, L"17.0.9.9", L"hotspot\\MSI", L"Path", L""}}, L"", L"", L"", L""},
        {"Path too long", {{LM, kTemurinJdk, L"17.0.9.9", L"hotspot\\MSI", L"Path", kLongFolder}}, L"", L"", L"", L""},
        {"above the maximum version", {temurin17}, L"", L"11", L"", L""},
        {"equal versions: the per-user JavaSoft key first",
         {{LM, kZulu, L"zulu-17", L"", L"InstallationPath", L"C:\\zulu17\\"},
          {CU, L"Software\\JavaSoft\\JDK\\", L"17", L"", L"JavaHome", L"C:\\t17"}},
         L"", L"", L"", L"C:\\t17\\"},
        {"expandable Path",
         {{LM, kTemurinJdk, L"17.0.9.9", L"hotspot\\MSI", L"Path", L"%JDKS%\\t17", RegistryValueType::ExpandString}},
         L"", L"", L"", L"C:\\exp\\t17\\"},
        {"expandable JavaSoft JavaHome",
         {{LM, L"Software\\JavaSoft\\JDK\\", L"17", L"", L"JavaHome", L"%JDKS%\\t17", RegistryValueType::ExpandString}},
         L"", L"", L"", L"C:\\exp\\t17\\"},
    };
    for (const InstallerCase& c : cases) {
        launcher::Launcher launcher;
        config::ApplyJvmSource(launcher, L"");
        config::ApplyVmProvider(launcher, c.provider);
        if (*c.maxVersion) config::ParseVersion(c.maxVersion, 65535, launcher.maxVersion);
        if (*c.preferred) launcher.preferredVersions = {c.preferred};
        FakeHost host;
        for (const wchar_t* folder : {L"C:\\t17\\", L"C:\\t21\\", L"C:\\ms17\\", L"C:\\sem17\\", L"C:\\sap21\\",
                                      L"C:\\zulu17\\", L"C:\\jdk8\\jre\\", L"C:\\exp\\t17\\"})
            host.files.AddRuntime(folder, {L"server"});
        host.files.AddRuntime(kLongFolder, {L"server"});
        host.files.AddRuntime(L"C\\", {L"server"});
        host.expansions[L"%JDKS%\\t17"] = L"C:\\exp\\t17";
        for (const Registration& r : c.registrations) {
            testing::FakeRegistry& registry = r.root == CU ? host.userRegistry : host.registry;
            std::wstring valueKey = std::wstring(r.key) + r.subkey;
            if (*r.valueKey) valueKey += L"\\" + std::wstring(r.valueKey);
            auto& names = registry.subkeys[{RegistryView::Native, r.key}];
            if (std::find(names.begin(), names.end(), r.subkey) == names.end()) names.push_back(r.subkey);
            if (r.folder.empty())
                registry.AddValue(RegistryView::Native, valueKey, r.valueName, {'C', 0, 0, 0}, RegistryValueType::Dword);
            else
                registry.AddValue(RegistryView::Native, valueKey, r.valueName, Utf16Bytes(r.folder), r.type);
        }
        std::wstring home;
        EXPECT_EQ(SearchRegistry(launcher, RegistryView::Native, host, home), !c.expected.empty()) << c.name;
        EXPECT_EQ(home, c.expected) << c.name;
    }
}

TEST(InstallerKeysTest, OneFolderRegisteredTwiceIsOneCandidate) {
    launcher::Launcher launcher;
    config::ApplyJvmSource(launcher, L"");
    config::ApplyVmProvider(launcher, L"");
    FakeHost host;
    host.files.AddRuntime(L"C:\\t17\\", {L"server"});
    host.files.AddRuntime(L"c:\\T17\\", {L"server"});
    host.registry.AddRuntime(RegistryView::Native, L"Software\\JavaSoft\\JDK\\", L"17.0.9", L"C:\\t17\\");
    host.registry.subkeys[{RegistryView::Native, kTemurinJdk}] = {L"17.0.9.9"};
    for (const wchar_t* installer : {L"\\hotspot\\MSI", L"\\hotspot\\EXE"})
        host.registry.AddValue(RegistryView::Native, kTemurinJdk + std::wstring(L"17.0.9.9") + installer, L"Path",
                               Utf16Bytes(L"c:\\T17"));
    const SelectionSettings settings = SelectionSettingsOf(launcher);
    std::vector<RuntimeCandidate> candidates;
    CollectRegistryCandidates(kRuntimeKeys[0], LM, RegistryView::Native, settings, host, candidates);
    for (const RuntimeKey& key : kInstallerRuntimeKeys)
        CollectRegistryCandidates(key, LM, RegistryView::Native, settings, host, candidates);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].homeFolder, L"C:\\t17\\");
}

}  // namespace
}  // namespace kestran::runtime
