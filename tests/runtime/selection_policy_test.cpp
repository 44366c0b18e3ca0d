#include "runtime/selection_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/launcher_settings.h"
#include "launcher/launcher.h"
#include "runtime/runtime_search.h"

namespace kestran::runtime {
namespace {

// The settings as the settings file's words give them.
SelectionSettings Settings(const wchar_t* jvmSource, const wchar_t* vmProvider, int32_t jvmType = 0,
                           std::vector<std::wstring> preferred = {}) {
    launcher::Launcher launcher;
    config::ApplyJvmSource(launcher, jvmSource);
    config::ApplyVmProvider(launcher, vmProvider);
    launcher.jvmType = jvmType;
    launcher.preferredVersions = std::move(preferred);
    return SelectionSettingsOf(launcher);
}

// Bit k-1 stands for key k of the table.
template <typename Predicate>
unsigned KeyMask(const SelectionSettings& settings, Predicate predicate) {
    unsigned mask = 0;
    for (size_t k = 0; k < kRuntimeKeyCount; ++k)
        if (predicate(settings, kRuntimeKeys[k])) mask |= 1u << k;
    return mask;
}

constexpr unsigned K(int key) { return 1u << (key - 1); }

struct KeyCase {
    const wchar_t* jvmSource;
    const wchar_t* vmProvider;
    unsigned expected;
};

TEST(SelectionPolicyTest, KeysAdmittedBySourceAndProvider) {
    const KeyCase cases[] = {
        {L"", L"", K(1) | K(2) | K(3) | K(4)},
        {L"favor_JRE", L"", K(1) | K(2) | K(3) | K(4)},
        {L"favor_JDK", L"", K(1) | K(2) | K(3) | K(4)},
        {L"only_JDK", L"", K(1) | K(3)},
        {L"only_JRE", L"", K(2) | K(4)},
        {L"JRE", L"", 0},  // not a word of the table: the registry gives nothing
        {L"", L"jrockit", K(5) | K(6)},
        {L"", L"ibm", K(7)},
        {L"", L"nonsense", K(1) | K(2) | K(3) | K(4)},
        {L"", L"favor_sun", 0x7F},
        {L"", L"favor_jrockit", 0x7F},
        {L"", L"favor_ibm", 0x7F},
        {L"", L"any", 0x7F},
        {L"only_JDK", L"favor_jrockit", K(1) | K(3) | K(6)},
        {L"only_JRE", L"any", K(2) | K(4) | K(5) | K(7)},
        {L"only_JDK", L"ibm", 0},
    };
    for (const KeyCase& c : cases) {
        const SelectionSettings s = Settings(c.jvmSource, c.vmProvider);
        EXPECT_EQ(KeyMask(s, IsKeyAdmitted), c.expected) << "JVM Source '" << c.jvmSource << "', VM Provider '"
                                                         << c.vmProvider << "'";
    }
}

TEST(SelectionPolicyTest, FavouredKeys) {
    const KeyCase cases[] = {
        {L"", L"", K(1) | K(2) | K(3) | K(4)},
        {L"favor_JDK", L"", K(1) | K(3)},
        {L"favor_JRE", L"", K(2) | K(4)},
        {L"", L"any", 0},
        {L"", L"favor_ibm", K(7)},
        {L"", L"jrockit", K(5) | K(6)},
        {L"only_JDK", L"favor_jrockit", K(6)},
        {L"JRE", L"", 0},
    };
    for (const KeyCase& c : cases) {
        const SelectionSettings s = Settings(c.jvmSource, c.vmProvider);
        EXPECT_EQ(KeyMask(s, IsCandidateFavoured), c.expected)
            << "JVM Source '" << c.jvmSource << "', VM Provider '" << c.vmProvider << "'";
    }
}

TEST(SelectionPolicyTest, ProbeModeOnlyDiffersForThePublicJreKeyUnderFavorServer) {
    for (int32_t jvmType : {0, 1, 2}) {
        const SelectionSettings s = Settings(L"", L"any", jvmType);
        for (size_t k = 0; k < kRuntimeKeyCount; ++k) {
            const int32_t expected = (jvmType == 2 && k == 3) ? 0 : jvmType;
            EXPECT_EQ(ProbeModeForKey(s, kRuntimeKeys[k]), expected) << "key " << k + 1 << ", jvmType " << jvmType;
        }
    }
}

RuntimeCandidate C(const wchar_t* version, bool serverVm = false, bool favoured = false,
                   const wchar_t* folder = nullptr) {
    RuntimeCandidate c;
    config::ParseVersion(version, 0, c.version);
    c.homeFolder = folder ? folder : std::wstring(L"C:\\java\\") + version + L"\\";
    c.serverVm = serverVm;
    c.favoured = favoured;
    return c;
}

struct SelectCase {
    const char* name;
    SelectionSettings settings;
    std::vector<RuntimeCandidate> candidates;
    std::wstring expectedFolder;
};

TEST(SelectionPolicyTest, SelectRuntimeScenarios) {
    const SelectCase cases[] = {
        {"favor_JRE prefers the favoured older JRE",
         Settings(L"favor_JRE", L""),
         {C(L"17.0.2", false, false), C(L"1.8.0.301", false, true)},
         L"C:\\java\\1.8.0.301\\"},
        {"with nothing favoured the highest version wins",
         Settings(L"favor_JRE", L"any"),
         {C(L"17.0.2"), C(L"1.8.0.301")},
         L"C:\\java\\17.0.2\\"},
        {"favor_server puts a server VM above a newer client VM",
         Settings(L"", L"", 2),
         {C(L"17.0.2", false, true), C(L"11.0.12", true, true)},
         L"C:\\java\\11.0.12\\"},
        {"without favor_server the newer client VM wins",
         Settings(L"", L"", 0),
         {C(L"17.0.2", false, true), C(L"11.0.12", true, true)},
         L"C:\\java\\17.0.2\\"},
        {"favoured outranks server",
         Settings(L"favor_JRE", L"", 2),
         {C(L"17.0.2", true, false), C(L"11.0.12", false, true)},
         L"C:\\java\\11.0.12\\"},
        {"only_JDK: favoured flags never reorder",
         Settings(L"only_JDK", L"favor_jrockit"),
         {C(L"11.0.12", false, true), C(L"17.0.2", false, false)},
         L"C:\\java\\17.0.2\\"},
        {"preferred list outranks the order",
         Settings(L"", L"", 0, {L"11", L"1.8"}),
         {C(L"17.0.2"), C(L"1.8.0.301"), C(L"11.0.12")},
         L"C:\\java\\11.0.12\\"},
        {"preferred item matching nothing falls back to the first sorted",
         Settings(L"", L"", 0, {L"1.7"}),
         {C(L"1.8.0.301"), C(L"17.0.2"), C(L"11.0.12")},
         L"C:\\java\\17.0.2\\"},
        {"an empty preferred item matches every runtime",
         Settings(L"", L"", 0, {L"1.6", L"", L"1.8"}),
         {C(L"1.8.0.301"), C(L"17.0.2")},
         L"C:\\java\\17.0.2\\"},
        {"duplicates: preferred 1.8 takes the first sorted of the two subkeys",
         Settings(L"", L"", 0, {L"1.8"}),
         {C(L"1.8", false, true, L"C:\\jre8\\"), C(L"1.8.0_281", false, true, L"C:\\jre8b\\")},
         L"C:\\jre8b\\"},
        {"equal candidates keep discovery order",
         Settings(L"", L""),
         {C(L"17.0.2", false, true, L"C:\\first\\"), C(L"17.0.2", false, true, L"C:\\second\\")},
         L"C:\\first\\"},
        {"a single candidate is chosen",
         Settings(L"", L"", 0, {L"9"}),
         {C(L"1.4.2")},
         L"C:\\java\\1.4.2\\"},
    };
    for (const SelectCase& c : cases) {
        std::vector<RuntimeCandidate> list = c.candidates;
        RuntimeCandidate chosen;
        ASSERT_TRUE(SelectRuntime(c.settings, list, chosen)) << c.name;
        EXPECT_EQ(chosen.homeFolder, c.expectedFolder) << c.name;
    }
}

TEST(SelectionPolicyTest, SortOrderAppliesTheThreeRulesInTurn) {
    const SelectionSettings s = Settings(L"favor_JDK", L"", 2);
    std::vector<RuntimeCandidate> list = {
        C(L"1.8", false, false, L"a"), C(L"21", false, true, L"b"),  C(L"11", true, false, L"c"),
        C(L"17", true, true, L"d"),    C(L"9", true, true, L"e"),    C(L"21", true, false, L"f"),
        C(L"17", true, true, L"g"),
    };
    SortCandidates(s, list);
    std::wstring order;
    for (const RuntimeCandidate& c : list) order += c.homeFolder;
    // Favoured server VMs by version (d before g: discovery order), favoured client,
    // then the others: server VMs by version, then the client.
    EXPECT_EQ(order, L"dgebfca");
}

TEST(SelectionPolicyTest, EmptyListSelectsNothing) {
    std::vector<RuntimeCandidate> list;
    RuntimeCandidate chosen = C(L"5", false, false, L"untouched");
    EXPECT_FALSE(SelectRuntime(Settings(L"", L""), list, chosen));
    EXPECT_EQ(chosen.homeFolder, L"untouched");
}

}  // namespace
}  // namespace kestran::runtime
