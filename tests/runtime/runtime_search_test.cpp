#include "runtime/runtime_search.h"

#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "runtime_fakes.h"

namespace kestran::runtime {
namespace {

using testing::FakeHost;
using testing::Utf16Bytes;

const std::wstring kJdkKey = L"Software\\JavaSoft\\JDK\\";
const std::wstring kJreKey = L"Software\\JavaSoft\\JRE\\";
const std::wstring kOldJdkKey = L"Software\\JavaSoft\\Java Development Kit\\";
const std::wstring kPublicJreKey = L"Software\\JavaSoft\\Java Runtime Environment\\";
constexpr RegistryView kNative = RegistryView::Native;
constexpr RegistryView kWow32 = RegistryView::Wow32;

// A launcher as the settings file leaves it: "JRE Path" empty names the launcher's folder.
struct SearchTest : ::testing::Test {
    SearchTest() {
        config::ApplyJvmSource(launcher, L"");
        config::ApplyVmProvider(launcher, L"");
        launcher.jrePath = L"C:\\App\\";
    }
    bool Find() { return FindJavaRuntime(launcher, launcher, host); }
    launcher::Launcher launcher;
    FakeHost host;
};

TEST_F(SearchTest, ConfiguredFolderWinsOverEveryOtherPlace) {
    launcher.jrePath = L"D:\\rt";  // no trailing backslash
    host.files.AddRuntime(L"D:\\rt\\", {L"client"});
    host.files.AddRuntime(L"C:\\App\\jre64\\", {L"server"});
    host.registry.AddRuntime(kNative, kJdkKey, L"17", L"C:\\jdk17");
    host.files.AddRuntime(L"C:\\jdk17\\", {L"server"});
    host.files.AddRuntime(L"C:\\home\\", {L"server"});
    host.javaHome = L"C:\\home";
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"D:\\rt\\bin\\client\\jvm.dll");
    EXPECT_EQ(host.machineChecks, 1);
    EXPECT_TRUE(host.registry.reads.empty());
}

TEST_F(SearchTest, LauncherInsideARuntimeIsTakenByTheConfiguredStep) {
    host.files.AddRuntime(L"C:\\App\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\App\\bin\\server\\jvm.dll");
    EXPECT_EQ(host.machineChecks, 1);  // the configured step checks the machine
}

TEST_F(SearchTest, Jre64BesideTheLauncherIsNotMachineChecked) {
    launcher.jrePath = L"D:\\missing\\";
    host.files.AddRuntime(L"C:\\App\\jre64\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\App\\jre64\\bin\\server\\jvm.dll");
    EXPECT_EQ(host.machineChecks, 0);
}

TEST_F(SearchTest, Jre64WithoutLibraryFallsThroughToTheRegistry) {
    host.files.AddRuntime(L"C:\\App\\jre64\\", {});
    host.registry.AddRuntime(kNative, kJdkKey, L"17.0.2", L"C:\\jdk17\\");
    host.files.AddRuntime(L"C:\\jdk17\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jdk17\\bin\\server\\jvm.dll");
    EXPECT_FALSE(launcher.handOverToPair);
}

TEST_F(SearchTest, RuntimeMarkerInLauncherFolderHidesJre64) {
    host.files.AddRuntime(L"C:\\App\\", {});  // bin\java.dll but no jvm.dll
    host.files.AddRuntime(L"C:\\App\\jre64\\", {L"server"});
    EXPECT_FALSE(Find());
    EXPECT_TRUE(launcher.vmLibraryPath.empty());
}

TEST_F(SearchTest, UnknownLauncherFolderSkipsOnlyThatStep) {
    host.launcherFolder.clear();
    host.javaHome = L"C:\\home\\";
    host.files.AddRuntime(L"C:\\home\\", {L"client"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\home\\bin\\client\\jvm.dll");
    EXPECT_EQ(host.machineChecks, 1);
}

TEST_F(SearchTest, OldJdkKeyAppendsJreAndParsesUnderscoreVersions) {
    host.registry.AddRuntime(kNative, kOldJdkKey, L"1.8.0_281", L"C:\\jdk");
    host.files.AddRuntime(L"C:\\jdk\\jre\\", {L"server"});
    const SelectionSettings settings = SelectionSettingsOf(launcher);
    std::vector<RuntimeCandidate> candidates;
    CollectRegistryCandidates(kRuntimeKeys[2], RegistryRoot::LocalMachine, kNative, settings, host, candidates);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].homeFolder, L"C:\\jdk\\jre\\");
    EXPECT_EQ(config::FormatVersion(candidates[0].version), L"1.8.0.281");
    EXPECT_TRUE(candidates[0].serverVm);
    EXPECT_TRUE(candidates[0].favoured);
}

TEST_F(SearchTest, NewJdkKeyTakesJavaHomeUnchanged) {
    host.registry.AddRuntime(kNative, kJdkKey, L"17", L"C:\\jdk-17\\");
    host.files.AddRuntime(L"C:\\jdk-17\\", {L"server"});
    std::vector<RuntimeCandidate> candidates;
    CollectRegistryCandidates(kRuntimeKeys[0], RegistryRoot::LocalMachine, kNative, SelectionSettingsOf(launcher),
                              host, candidates);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].homeFolder, L"C:\\jdk-17\\");
    EXPECT_EQ(candidates[0].version, (config::VersionNumber{{17, 0, 0, 0}}));
}

TEST_F(SearchTest, VersionFilterRunsBeforeJavaHomeIsRead) {
    config::ParseVersion(L"11", 0, launcher.minVersion);
    config::ParseVersion(L"17", 65535, launcher.maxVersion);
    host.registry.AddRuntime(kNative, kJdkKey, L"1.8.0_301", L"C:\\jdk8");
    host.registry.AddRuntime(kNative, kJdkKey, L"21.0.1", L"C:\\jdk21");
    host.registry.AddRuntime(kNative, kJdkKey, L"11.0.12", L"C:\\jdk11");
    for (const wchar_t* home : {L"C:\\jdk8\\", L"C:\\jdk21\\", L"C:\\jdk11\\"}) host.files.AddRuntime(home, {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jdk11\\bin\\server\\jvm.dll");
    EXPECT_EQ(host.registry.reads, std::vector<std::wstring>{kJdkKey + L"11.0.12"});
}

TEST_F(SearchTest, UnusableJavaHomeDataIsSkipped) {
    const std::vector<uint8_t> odd = {'C', 0, ':', 0, 0};
    const std::vector<uint8_t> unterminated = Utf16Bytes(L"C:\\bad", false);
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t> onlyNul = {0, 0};
    host.registry.AddSubkey(kNative, kJdkKey, L"30", &odd);
    host.registry.AddSubkey(kNative, kJdkKey, L"29", &unterminated);
    host.registry.AddSubkey(kNative, kJdkKey, L"28", &empty);
    host.registry.AddSubkey(kNative, kJdkKey, L"27", &onlyNul);
    host.registry.AddSubkey(kNative, kJdkKey, L"26", nullptr);
    host.registry.AddRuntime(kNative, kJdkKey, L"11", L"C:\\jdk11");
    host.files.AddRuntime(L"C:\\bad\\", {L"server"});
    host.files.AddRuntime(L"C:\\jdk11\\", {L"server"});
    host.files.AddRuntime(L"\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jdk11\\bin\\server\\jvm.dll");
}

TEST_F(SearchTest, JavaHomeDataStopsAtItsFirstNul) {
    std::vector<uint8_t> data = Utf16Bytes(L"C:\\jdk11");
    const std::vector<uint8_t> tail = Utf16Bytes(L"C:\\other");
    data.insert(data.end(), tail.begin(), tail.end());
    host.registry.AddSubkey(kNative, kJdkKey, L"11", &data);
    host.files.AddRuntime(L"C:\\jdk11\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jdk11\\bin\\server\\jvm.dll");
}

TEST_F(SearchTest, ThirtyTwoBitViewOnlyWithPairProduct) {
    host.registry.AddRuntime(kWow32, kJreKey, L"1.8.0_301", L"C:\\jre32");
    host.files.AddRuntime(L"C:\\jre32\\", {L"client"});
    EXPECT_FALSE(Find());
    EXPECT_TRUE(host.registry.reads.empty());

    launcher.pairProduct = L"C:\\App\\Tool32.exe";
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jre32\\bin\\client\\jvm.dll");
    EXPECT_TRUE(launcher.handOverToPair);
    EXPECT_EQ(host.machineChecks, 0);
}

TEST_F(SearchTest, NativeCandidatesFailingTheProbeLeadToThe32BitView) {
    launcher.pairProduct = L"C:\\App\\Tool32.exe";
    host.registry.AddRuntime(kNative, kJreKey, L"11", L"C:\\nolib");
    host.files.AddRuntime(L"C:\\nolib\\", {});
    host.registry.AddRuntime(kWow32, kJreKey, L"1.8", L"C:\\jre32");
    host.files.AddRuntime(L"C:\\jre32\\", {L"client"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\jre32\\bin\\client\\jvm.dll");
    EXPECT_TRUE(launcher.handOverToPair);
}

TEST_F(SearchTest, PublicJreKeyUnderFavorServerRanksByClientButLoadsServer) {
    launcher.jvmType = 2;
    host.registry.AddRuntime(kNative, kPublicJreKey, L"17", L"C:\\both");
    host.registry.AddRuntime(kNative, kJreKey, L"11", L"C:\\server11");
    host.files.AddRuntime(L"C:\\both\\", {L"client", L"server"});
    host.files.AddRuntime(L"C:\\server11\\", {L"server"});
    ASSERT_TRUE(Find());
    // Ranked as a client VM, the 17 loses to the server 11.
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\server11\\bin\\server\\jvm.dll");

    launcher.preferredVersions = {L"17"};
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\both\\bin\\server\\jvm.dll");
}

struct JavaHomeCase {
    const char* name;
    std::wstring expansion;
    bool javaDll;
    bool found;
};

TEST_F(SearchTest, JavaHomeIsTheLastPlace) {
    const JavaHomeCase cases[] = {
        {"unset", L"%JAVA_HOME%", true, false},
        {"empty", L"", true, false},
        {"no trailing backslash", L"C:\\home", true, true},
        {"trailing backslash", L"C:\\home\\", true, true},
        {"no bin\\java.dll", L"C:\\home", false, false},
        {"relative: made full before probing", L"jre", true, true},
    };
    for (const JavaHomeCase& c : cases) {
        host.files.paths.clear();
        host.files.AddRuntime(L"C:\\home\\", {L"hotspot"}, c.javaDll);
        host.files.AddRuntime(L"jre\\", {L"hotspot"}, c.javaDll);
        host.files.AddRuntime(L"C:\\cwd\\jre\\", {L"hotspot"}, c.javaDll);
        host.javaHome = c.expansion;
        host.machineChecks = 0;
        EXPECT_EQ(Find(), c.found) << c.name;
        const std::wstring home = c.expansion == L"jre" ? L"C:\\cwd\\jre" : L"C:\\home";
        EXPECT_EQ(launcher.vmLibraryPath, c.found ? home + L"\\bin\\hotspot\\jvm.dll" : L"") << c.name;
        EXPECT_EQ(host.machineChecks, c.found ? 1 : 0) << c.name;
    }
}

TEST_F(SearchTest, JavaHome32BitLibraryIsHandedOverAfterTheMachineCheck) {
    launcher.pairProduct = L"C:\\App\\Tool32.exe";
    host.javaHome = L"C:\\jre32";
    host.files.AddRuntime(L"C:\\jre32\\", {L"client"});
    host.x86Libraries.insert(L"C:\\jre32\\bin\\client\\jvm.dll");
    ASSERT_TRUE(Find());
    EXPECT_TRUE(launcher.handOverToPair);
}

// The registry rows run the choice that reads only the subkeys it reaches (no trace).
TEST_F(SearchTest, RuntimesOfAnotherArchitectureAreSkipped) {
    const struct {
        const char* name;
        bool registered;  // else configured, and alone
    } cases[] = {{"ARM64 registered before an x64", true}, {"ARM64 configured and alone", false}};
    const std::wstring arm64 = L"C:\\arm\\bin\\server\\jvm.dll";
    for (const auto& c : cases) {
        host = FakeHost();
        host.files.AddRuntime(L"C:\\arm\\", {L"server"});
        host.files.foreignMachines[arm64] = 0xAA64;
        launcher.jrePath = c.registered ? L"" : L"C:\\arm";
        if (c.registered) {
            host.registry.AddRuntime(kNative, kJdkKey, L"21", L"C:\\arm\\");
            host.registry.AddRuntime(kNative, kJdkKey, L"17", L"C:\\jdk17\\");
            host.files.AddRuntime(L"C:\\jdk17\\", {L"server"});
        }
        EXPECT_EQ(Find(), c.registered) << c.name;
        EXPECT_EQ(launcher.vmLibraryPath, c.registered ? L"C:\\jdk17\\bin\\server\\jvm.dll" : L"") << c.name;
        // Kept for the line that names the architecture when nothing else was found.
        EXPECT_EQ(launcher.foreignLibraryPath, c.registered ? L"" : arm64) << c.name;
        EXPECT_EQ(launcher.foreignMachine, c.registered ? 0 : 0xAA64) << c.name;
    }
}

TEST_F(SearchTest, NamesWithoutDigitsAndManySubkeysAreHandled) {
    for (int i = 0; i < 3000; ++i) host.registry.AddRuntime(kNative, kJreKey, L"1." + std::to_wstring(i), L"C:\\none");
    host.registry.AddRuntime(kNative, kJreKey, L"latest", L"C:\\latest");
    host.files.AddRuntime(L"C:\\latest\\", {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, L"C:\\latest\\bin\\server\\jvm.dll");
}

TEST_F(SearchTest, VeryLongJavaHomeIsProbedWithoutTrouble) {
    const std::wstring home = L"C:\\" + std::wstring(40000, L'x') + L"\\";
    host.registry.AddRuntime(kNative, kJdkKey, L"17", home);
    host.files.AddRuntime(home, {L"server"});
    ASSERT_TRUE(Find());
    EXPECT_EQ(launcher.vmLibraryPath, home + L"bin\\server\\jvm.dll");
}

TEST(LauncherFolderTest, KeepsTheLastBackslash) {
    std::wstring folder = L"untouched";
    EXPECT_TRUE(LauncherFolderOf(L"C:\\Apps\\Tool.exe", folder));
    EXPECT_EQ(folder, L"C:\\Apps\\");
    EXPECT_TRUE(LauncherFolderOf(L"C:\\Tool.exe", folder));
    EXPECT_EQ(folder, L"C:\\");
    folder = L"untouched";
    EXPECT_FALSE(LauncherFolderOf(L"Tool.exe", folder));
    EXPECT_EQ(folder, L"untouched");
}

}  // namespace
}  // namespace kestran::runtime
