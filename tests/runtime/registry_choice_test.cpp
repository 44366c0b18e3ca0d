#include "runtime/registry_choice.h"

#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "runtime_fakes.h"

namespace kestran::runtime {
namespace {

// The choice made before probing must be the one the full pass makes, reading no more values:
// sorting before the checks is only sound if failures leave the order of the rest untouched.
TEST(RegistryChoiceTest, ChoosesWhatTheFullPassChooses) {
    struct Registration {
        const RuntimeKey* key;
        const wchar_t* name;
        const wchar_t* vm;              // the folder's library under bin\, null for none
        const wchar_t* home = nullptr;  // a folder of its own unless given
    };
    const RuntimeKey *jdk = &kRuntimeKeys[0], *jre = &kRuntimeKeys[1], *oldJdk = &kRuntimeKeys[2],
                     *publicJre = &kRuntimeKeys[3], *sapJdk = &kInstallerRuntimeKeys[12];
    const struct {
        const wchar_t* jvmSource;
        int32_t jvmType;  // not 2: favor_server ranks by the probe and never comes here
        std::vector<std::wstring> preferred;
        std::vector<Registration> registrations;
    } cases[] = {
        {L"", 0, {}, {{jdk, L"11", L"server"}, {jdk, L"21", nullptr}, {jre, L"17", L"client"}}},
        {L"", 0, {L"17", L"11"}, {{jdk, L"17", nullptr}, {jre, L"17.1", nullptr}, {jdk, L"11.2", L"client"}, {jdk, L"21", L"server"}}},
        {L"favor_JDK", 0, {}, {{jre, L"21", L"server"}, {oldJdk, L"1.8.0_281", L"client"}, {jdk, L"11", nullptr}}},
        {L"", 1, {}, {{publicJre, L"1.8", L"server"}, {jre, L"1.8", L"server"}, {jdk, L"1.8", L"client"}}},
        {L"", 0, {L"1.8"}, {{jdk, L"1.8", nullptr}, {jre, L"9", nullptr}}},
        {L"", 0, {}, {{sapJdk, L"21", L"server", L"C:\\same\\"}, {jdk, L"17", L"server", L"C:\\Same\\"}, {jre, L"11", L"client"}}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        launcher::Launcher launcher;
        config::ApplyJvmSource(launcher, cases[i].jvmSource);
        config::ApplyVmProvider(launcher, L"");
        launcher.jvmType = cases[i].jvmType;
        launcher.preferredVersions = cases[i].preferred;
        const SelectionSettings settings = SelectionSettingsOf(launcher);
        testing::FakeHost host;
        for (const Registration& r : cases[i].registrations) {
            const std::wstring home = r.home ? r.home : L"C:\\" + std::wstring(r.name) + r.key->path;
            host.registry.AddRuntime(RegistryView::Native, r.key->path, r.name, home);
            if (r.vm) host.files.AddRuntime(home + r.key->homeSuffix, {r.vm});
        }
        std::vector<RuntimeCandidate> all;
        for (const RuntimeKey* key : {jdk, jre, oldJdk, publicJre, sapJdk}) {
            if (IsKeyAdmitted(settings, *key))
                CollectRegistryCandidates(*key, RegistryRoot::LocalMachine, RegistryView::Native, settings, host, all);
        }
        RuntimeCandidate expected, chosen;
        const bool found = SelectRuntime(settings, all, expected);
        const size_t fullReads = host.registry.reads.size();
        ASSERT_TRUE(CanChooseBeforeProbing(settings)) << "case " << i;
        EXPECT_EQ(ChooseRegisteredRuntime(settings, RegistryView::Native, host, chosen), found) << "case " << i;
        EXPECT_EQ(chosen.homeFolder, found ? expected.homeFolder : L"") << "case " << i;
        EXPECT_LE(host.registry.reads.size() - fullReads, fullReads) << "case " << i;
    }
}

}  // namespace
}  // namespace kestran::runtime
