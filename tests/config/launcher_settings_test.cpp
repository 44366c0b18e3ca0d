#include <gtest/gtest.h>

#include "config/launcher_settings.h"
#include "launcher/launcher.h"
#include "memory_settings.h"

using namespace kestran;
using kestran::testing::MemorySettings;

namespace {

const std::wstring kJre = L"Java Runtime Environment";
const std::wstring kApp = L"Application";
const std::wstring kFolder = L"C:\\Apps";

using Values = std::map<std::pair<std::wstring, std::wstring>, std::wstring>;

config::SettingsResult Load(launcher::Launcher& launcher, Values values, const MemorySettings* user = nullptr) {
    if (!values.count({kJre, L"Main Class"})) values[{kJre, L"Main Class"}] = L"com.example.Main";
    MemorySettings file(values);
    config::ReadProductInformation(launcher, file);
    return config::ReadLauncherSettings(launcher, file, user, kFolder);
}

TEST(LauncherSettings, ConstructorDefaults) {
    launcher::Launcher l;
    EXPECT_TRUE(l.eitherKind);
    EXPECT_TRUE(l.sunAllowed);
    EXPECT_TRUE(l.sunFavoured);
    EXPECT_FALSE(l.jdkAllowed || l.jreAllowed || l.jrockitAllowed || l.ibmAllowed || l.serviceMode);
    EXPECT_EQ(l.jvmType, 0);
    EXPECT_EQ(l.threadStackSize, 0u);
    EXPECT_EQ(launcher::CurrentLauncher(), &l);
}

TEST(LauncherSettings, MissingOrBlankMainClassStopsTheLaunch) {
    for (const std::wstring& value : {std::wstring(), std::wstring(L"")}) {
        launcher::Launcher l;
        EXPECT_EQ(Load(l, {{{kJre, L"Main Class"}, value}}), config::SettingsResult::NoMainClass);
    }
    launcher::Launcher l;
    // "Main Class" belongs to the runtime section, not to "Application".
    EXPECT_EQ(Load(l, {{{kJre, L"Main Class"}, L""}, {{kApp, L"Main Class"}, L"a.B"}}), config::SettingsResult::NoMainClass);
}

TEST(LauncherSettings, MainClassDotsBecomeSlashes) {
    launcher::Launcher l;
    ASSERT_EQ(Load(l, {{{kJre, L"Main Class"}, L"com.example.Main"}}), config::SettingsResult::Loaded);
    EXPECT_EQ(l.mainClass, L"com/example/Main");
}

struct FlagCase {
    std::wstring section, key, value;
    bool launcher::Launcher::*flag;
    bool expected;
};

TEST(LauncherSettings, FlagComparisonRules) {
    const FlagCase cases[] = {
        {kApp, L"Application Type", L"service", &launcher::Launcher::serviceMode, true},
        {kApp, L"Application Type", L"Service", &launcher::Launcher::serviceMode, false},
        {kApp, L"Failure Check", L"YES", &launcher::Launcher::failureCheck, true},
        {kApp, L"Failure Check", L"yes", &launcher::Launcher::failureCheck, true},
        {kApp, L"Failure Check", L"y", &launcher::Launcher::failureCheck, false},
        {kApp, L"Override WorkingDir", L"Yes", &launcher::Launcher::overrideWorkingDir, true},
        {kApp, L"Override WorkingDir", L"true", &launcher::Launcher::overrideWorkingDir, false},
        {kApp, L"Pair Return Code", L"yEs", &launcher::Launcher::pairReturnCode, true},
        {kApp, L"Pair Return Code", L" Yes", &launcher::Launcher::pairReturnCode, false},
        {kApp, L"Single Instance", L"yes", &launcher::Launcher::singleInstance, true},
        {kApp, L"Single Instance", L"Yes", &launcher::Launcher::singleInstance, false},
    };
    for (const FlagCase& c : cases) {
        launcher::Launcher l;
        Load(l, {{{c.section, c.key}, c.value}});
        EXPECT_EQ(l.*(c.flag), c.expected) << std::string(c.key.begin(), c.key.end()) << "="
                                             << std::string(c.value.begin(), c.value.end());
    }
}

TEST(LauncherSettings, OmitServiceNameIsReadOnlyInServiceMode) {
    launcher::Launcher plain;
    Load(plain, {{{kApp, L"Omit Service Name"}, L"x"}});
    EXPECT_FALSE(plain.omitServiceName);
    launcher::Launcher service;
    Load(service, {{{kApp, L"Application Type"}, L"service"}, {{kApp, L"Omit Service Name"}, L"x"}});
    EXPECT_TRUE(service.omitServiceName);
}

TEST(LauncherSettings, JvmSourceTable) {
    struct Case {
        std::wstring value;
        bool jdk, jre, either;
    } cases[] = {
        {L"", true, true, true},           {L"favor_JRE", false, true, true}, {L"favor_JDK", true, false, true},
        {L"only_JRE", false, true, false}, {L"only_JDK", true, false, false}, {L"JRE", false, false, false},
        {L"only_jdk", false, false, false},
    };
    for (const Case& c : cases) {
        launcher::Launcher l;
        Load(l, {{{kJre, L"JVM Source"}, c.value}});
        std::string name(c.value.begin(), c.value.end());
        EXPECT_EQ(l.jdkAllowed, c.jdk) << name;
        EXPECT_EQ(l.jreAllowed, c.jre) << name;
        EXPECT_EQ(l.eitherKind, c.either) << name;
    }
}

TEST(LauncherSettings, VmProviderTable) {
    struct Case {
        std::wstring value;
        bool flags[6];  // jrockit allowed/favoured, sun allowed/favoured, ibm allowed/favoured
    } cases[] = {
        {L"", {false, false, true, true, false, false}},
        {L"sun", {false, false, true, true, false, false}},
        {L"JRockit", {true, true, false, false, false, false}},
        {L"IBM", {false, false, false, false, true, true}},
        {L"favor_sun", {true, false, true, true, true, false}},
        {L"Favor_JRockit", {true, true, true, false, true, false}},
        {L"favor_ibm", {true, false, true, false, true, true}},
        {L"ANY", {true, false, true, false, true, false}},
    };
    for (const Case& c : cases) {
        launcher::Launcher l;
        Load(l, {{{kJre, L"VM Provider"}, c.value}});
        bool actual[6] = {l.jrockitAllowed, l.jrockitFavoured, l.sunAllowed, l.sunFavoured, l.ibmAllowed, l.ibmFavoured};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(actual[i], c.flags[i]) << std::string(c.value.begin(), c.value.end()) << " flag " << i;
    }
}

TEST(LauncherSettings, JvmType) {
    EXPECT_EQ(config::ParseJvmType(L"server"), 1);
    EXPECT_EQ(config::ParseJvmType(L"favor_server"), 2);
    EXPECT_EQ(config::ParseJvmType(L"Server"), 0);
    EXPECT_EQ(config::ParseJvmType(L"client"), 0);
}

TEST(LauncherSettings, StopTimeoutFallsBackToThirtySeconds) {
    // Wrapping or a sign taken as a number would give a service no time, or for ever, to stop.
    struct Case {
        std::wstring value;
        uint32_t expected;
    } cases[] = {
        {L"", 30}, {L"5", 5}, {L"0", 0}, {L"86400", 86400}, {L"86401", 30},
        {L"4294967301", 30}, {L"-1", 30}, {L"+5", 30}, {L"5s", 30}, {L" 5", 30},
    };
    for (const Case& c : cases) {
        launcher::Launcher l;
        Load(l, {{{L"Application", L"Stop Timeout"}, c.value}});
        EXPECT_EQ(l.stopTimeout, c.expected) << std::string(c.value.begin(), c.value.end());
    }
}

TEST(LauncherSettings, JrePathResolution) {
    struct Case {
        std::wstring value, expected;
    } cases[] = {
        {L"jre", L"C:\\Apps\\jre"},
        {L"D:\\Java", L"D:\\Java"},
        {L"\\\\server\\java", L"\\\\server\\java"},
        {L"\\java", L"C:\\Apps\\\\java"},
        {L"", L"C:\\Apps\\"},
        {L"%JAVA_HOME%\\jre", L"C:\\Apps\\%JAVA_HOME%\\jre"},
        {L"x", L"C:\\Apps\\x"},
    };
    for (const Case& c : cases) {
        launcher::Launcher l;
        Load(l, {{{kJre, L"JRE Path"}, c.value}});
        EXPECT_EQ(l.jrePath, c.expected) << std::string(c.value.begin(), c.value.end());
    }
}

TEST(LauncherSettings, PerUserJrePathWinsEvenWhenEmptyExceptForServices) {
    MemorySettings user({{{kJre, L"JRE Path"}, L""}});
    launcher::Launcher l;
    Load(l, {{{kJre, L"JRE Path"}, L"D:\\Configured"}}, &user);
    EXPECT_EQ(l.jrePath, L"C:\\Apps\\");

    MemorySettings picked({{{kJre, L"JRE Path"}, L"E:\\Picked"}});
    launcher::Launcher service;
    Load(service, {{{kJre, L"JRE Path"}, L"D:\\Configured"}, {{kApp, L"Application Type"}, L"service"}}, &picked);
    EXPECT_EQ(service.jrePath, L"D:\\Configured");
}

TEST(LauncherSettings, VersionBounds) {
    struct Case {
        std::wstring min, max;
        config::VersionNumber expectedMin, expectedMax;
    } cases[] = {
        {L"1.8", L"1.8", {{1, 8, 0, 0}}, {{1, 8, 65535, 65535}}},
        {L"", L"", {}, {}},
        {L"any", L"any", {}, config::VersionNumber::Filled(65535)},
        {L"abc", L"2147483648", {}, {}},
        {L"11.0.2", L"17", {{11, 0, 2, 0}}, {{17, 65535, 65535, 65535}}},
    };
    for (const Case& c : cases) {
        launcher::Launcher l;
        Load(l, {{{kJre, L"Minimum Version"}, c.min}, {{kJre, L"Maximum Version"}, c.max}});
        EXPECT_EQ(l.minVersion, c.expectedMin) << std::string(c.min.begin(), c.min.end());
        EXPECT_EQ(l.maxVersion, c.expectedMax) << std::string(c.max.begin(), c.max.end());
    }
}

TEST(LauncherSettings, TextsAndLists) {
    launcher::Launcher l;
    Load(l, {{{kJre, L"Preferred versions"}, L"1.8;11;"},
             {{kJre, L"System Path"}, L"%SystemRoot%\\x"},
             {{kJre, L"Library Path"}, L"lib;native"},
             {{kApp, L"Pair Product"}, L"C:\\Apps\\Tool32.exe"},
             {{L"Product Information", L"Product Name"}, L"My App"},
             {{L"Product Information", L"Product Code"}, L"42"}});
    EXPECT_EQ(l.preferredVersions, (std::vector<std::wstring>{L"1.8", L"11"}));
    EXPECT_EQ(l.systemPath, L"%SystemRoot%\\x");  // never expanded here
    EXPECT_EQ(l.libraryPath, L"lib;native");
    EXPECT_EQ(l.pairProduct, L"C:\\Apps\\Tool32.exe");
    EXPECT_EQ(l.productName, L"My App");
    EXPECT_EQ(l.productCode, L"42");
}

}  // namespace
