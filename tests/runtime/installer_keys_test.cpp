#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "runtime/runtime_search.h"
#include "runtime_fakes.h"

namespace kestran::runtime {
namespace {

constexpr RegistryValueType kText = RegistryValueType::String;
constexpr RegistryValueType kExpand = RegistryValueType::ExpandString;
constexpr RegistryValueType kDword = RegistryValueType::Dword;
const std::wstring kTemurin = L"SOFTWARE\\Eclipse Adoptium\\JDK\\";
const std::wstring kJavaSoft = L"Software\\JavaSoft\\JDK\\";
const std::wstring kLong = L"C:\\" + std::wstring(33000, L'x') + L"\\";

struct Registration {
    RegistryRoot root;
    std::wstring key, subkey, below, value, folder;  // folder "C": the bytes of a DWORD 0x43
    RegistryValueType type;
};

// The Java side of these (which keys, which settings) runs under Wine; here: what the value
// data and the order of the keys decide.
TEST(InstallerKeysTest, ValueDataAndKeyOrderDecide) {
    const RegistryRoot LM = RegistryRoot::LocalMachine, CU = RegistryRoot::CurrentUser;
    const std::wstring msi = L"\\hotspot\\MSI";
    const struct {
        const char* name;
        std::vector<Registration> registrations;
        std::wstring expected;  // empty: nothing chosen
    } cases[] = {
        {"Path a DWORD", {{LM, kTemurin, L"17.0.9.9", msi, L"Path", L"C", kDword}}, L""},
        {"Path too long", {{LM, kTemurin, L"17.0.9.9", msi, L"Path", kLong, kText}}, L""},
        {"Path expanded", {{LM, kTemurin, L"17.0.9.9", msi, L"Path", L"%JDKS%", kExpand}}, L"C:\\exp\\"},
        {"JavaHome expanded", {{LM, kJavaSoft, L"17", L"", L"JavaHome", L"%JDKS%", kExpand}}, L"C:\\exp\\"},
        {"per-user JavaSoft before an equal installer key",
         {{LM, L"SOFTWARE\\Azul Systems\\Zulu\\", L"zulu-17", L"", L"InstallationPath", L"C:\\zulu", kText},
          {CU, kJavaSoft, L"17", L"", L"JavaHome", L"C:\\t17", kText}},
         L"C:\\t17\\"},
        // "Preferred versions" = 17.0.9.9 would pick the second registration if it were kept.
        {"one folder twice, in another case",
         {{LM, kJavaSoft, L"17.0.9", L"", L"JavaHome", L"C:\\t17", kText},
          {LM, kTemurin, L"17.0.9.9", msi, L"Path", L"c:\\T17", kText}},
         L"C:\\t17\\"},
    };
    for (const auto& c : cases) {
        launcher::Launcher launcher;
        config::ApplyJvmSource(launcher, L"");
        config::ApplyVmProvider(launcher, L"");
        launcher.preferredVersions = {L"17.0.9.9"};
        testing::FakeHost host;
        for (const wchar_t* folder : {L"C:\\t17\\", L"c:\\T17\\", L"C:\\zulu\\", L"C:\\exp\\", L"C\\"})
            host.files.AddRuntime(folder, {L"server"});
        host.files.AddRuntime(kLong, {L"server"});
        host.expansions[L"%JDKS%"] = L"C:\\exp";
        for (const Registration& r : c.registrations) {
            testing::FakeRegistry& registry = r.root == CU ? host.userRegistry : host.registry;
            registry.subkeys[{RegistryView::Native, r.key}].push_back(r.subkey);
            const std::vector<uint8_t> data = r.type == kDword ? std::vector<uint8_t>{'C', 0, 0, 0}
                                                               : testing::Utf16Bytes(r.folder);
            registry.AddValue(RegistryView::Native, r.key + r.subkey + r.below, r.value, data, r.type);
        }
        std::wstring home;
        EXPECT_EQ(SearchRegistry(launcher, RegistryView::Native, host, home), !c.expected.empty()) << c.name;
        EXPECT_EQ(home, c.expected) << c.name;
    }
}

}  // namespace
}  // namespace kestran::runtime
