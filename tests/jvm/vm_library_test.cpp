#include <gtest/gtest.h>

#include <string>

#include "jvm/vm_library.h"
#include "launcher/launcher.h"
#include "platform/environment.h"

namespace kestran::jvm {
namespace {

TEST(VmLibrary, StripsPathComponents) {
    struct Case {
        const wchar_t* path;
        int count;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\rt\\bin\\server\\jvm.dll", 1, L"C:\\rt\\bin\\server"},
        {L"C:\\rt\\bin\\server\\jvm.dll", 2, L"C:\\rt\\bin"},
        {L"C:\\rt\\bin\\server\\jvm.dll", 3, L"C:\\rt"},
        {L"C:\\rt\\bin\\server\\jvm.dll", 5, L"C:"},
        {L"C:\\rt\\bin\\server\\jvm.dll", 0, L"C:\\rt\\bin\\server\\jvm.dll"},
        {L"jvm.dll", 3, L"jvm.dll"},                 // a bare name stays for every count
        {L"a\\b", 3, L"a"},
        {L"\\\\srv\\rt\\bin\\server\\jvm.dll", 3, L"\\\\srv\\rt"},
        {L"C:\\rt\\bin\\server\\", 1, L"C:\\rt\\bin\\server"},
        {L"", 2, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StripPathComponents(c.path, c.count), c.expected)
            << testing::PrintToString(std::wstring(c.path)) << " x" << c.count;
    }
}

TEST(VmLibrary, ExtendsTheLibraryPath) {
    struct Case {
        const wchar_t* libraryPath;
        const wchar_t* launcherFolder;
        const wchar_t* vmLibrary;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"C:\\x", L"D:\\app\\", L"E:\\rt\\bin\\server\\jvm.dll", L"C:\\x;D:\\app\\;.;%Path%;E:\\rt\\lib"},
        {L"C:\\x;", L"D:\\app\\", L"E:\\rt\\bin\\server\\jvm.dll", L"C:\\x;D:\\app\\;.;%Path%;E:\\rt\\lib"},
        {L"C:\\x;C:\\y", L"D:\\app\\", L"E:\\rt\\jre\\bin\\client\\jvm.dll",
         L"C:\\x;C:\\y;D:\\app\\;.;%Path%;E:\\rt\\jre\\lib"},
        {L"C:\\x", L"", L"E:\\rt\\bin\\server\\jvm.dll", L"C:\\x;;.;%Path%;E:\\rt\\lib"},  // module path unknown
        {L"C:\\x", L"D:\\app\\", L"jvm.dll", L"C:\\x;D:\\app\\;.;%Path%;lib"},
        {L"", L"D:\\app\\", L"E:\\rt\\bin\\server\\jvm.dll", L";D:\\app\\;.;%Path%;E:\\rt\\lib"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtendLibraryPath(c.libraryPath, c.launcherFolder, c.vmLibrary), c.expected)
            << testing::PrintToString(std::wstring(c.libraryPath));
    }
}

TEST(VmLibrary, BuildsTheSearchPath) {
    struct Case {
        const wchar_t* systemPath;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"", L"E:\\rt\\bin;%Path%"},
        {L"C:\\s", L"C:\\s;E:\\rt\\bin;%Path%"},
        {L"C:\\s;", L"C:\\s;E:\\rt\\bin;%Path%"},  // no second semicolon
        {L";", L";E:\\rt\\bin;%Path%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SearchPathTemplate(c.systemPath, L"E:\\rt\\bin\\server\\jvm.dll"), c.expected)
            << testing::PrintToString(std::wstring(c.systemPath));
    }
}

// The process environment is shared by the whole test program: restore what was there.
class SavedVariable {
public:
    explicit SavedVariable(const wchar_t* name) : name_(name) { had_ = platform::GetEnvironmentText(name_, value_); }
    ~SavedVariable() {
        if (had_) {
            platform::SetEnvironmentText(name_, value_);
        } else {
            platform::UnsetEnvironmentText(name_);
        }
    }

private:
    std::wstring name_;
    std::wstring value_;
    bool had_ = false;
};

TEST(VmLibrary, PrepareSetsVariablesAndPutsTheLibraryPathFirst) {
    SavedVariable path(L"Path"), home(L"KESTRAN_JVM_HOME"), jvm(L"KESTRAN_JVM_PATH");
    platform::SetEnvironmentText(L"Path", L"C:\\old");

    launcher::Launcher launcher;
    launcher.vmLibraryPath = L"E:\\rt\\bin\\server\\jvm.dll";
    launcher.libraryPath = L"C:\\x";
    launcher.systemPath = L"C:\\sys";
    launcher.vmOptions.push_back("-Dkept=1");
    const std::wstring extended = PrepareVmEnvironment(launcher, launcher, launcher);

    // Natively the module path holds no backslash, so the launcher folder part is empty.
    const std::wstring expected = L"C:\\x;;.;C:\\old;E:\\rt\\lib";
    EXPECT_EQ(extended, expected);
    ASSERT_EQ(launcher.vmOptions.size(), 2u);
    EXPECT_EQ(launcher.vmOptions[1], "-Djava.library.path=C:\\x;;.;C:\\old;E:\\rt\\lib");

    std::wstring value;
    ASSERT_TRUE(platform::GetEnvironmentText(L"KESTRAN_JVM_PATH", value));
    EXPECT_EQ(value, L"E:\\rt\\bin\\server\\jvm.dll");
    ASSERT_TRUE(platform::GetEnvironmentText(L"KESTRAN_JVM_HOME", value));
    EXPECT_EQ(value, L"E:\\rt");
    ASSERT_TRUE(platform::GetEnvironmentText(L"Path", value));
    EXPECT_EQ(value, L"C:\\sys;E:\\rt\\bin;C:\\old");
}

TEST(VmLibrary, EmptyLibraryPathAddsNoOption) {
    SavedVariable path(L"Path"), home(L"KESTRAN_JVM_HOME"), jvm(L"KESTRAN_JVM_PATH");
    platform::SetEnvironmentText(L"Path", L"C:\\old");
    launcher::Launcher launcher;
    launcher.vmLibraryPath = L"jvm.dll";
    EXPECT_TRUE(PrepareVmEnvironment(launcher, launcher, launcher).empty());
    EXPECT_TRUE(launcher.vmOptions.empty());
    std::wstring value;
    ASSERT_TRUE(platform::GetEnvironmentText(L"Path", value));
    EXPECT_EQ(value, L"jvm.dll;C:\\old");
    ASSERT_TRUE(platform::GetEnvironmentText(L"KESTRAN_JVM_HOME", value));
    EXPECT_EQ(value, L"jvm.dll");
}

TEST(VmLibrary, MissingLibraryPrints222) {
    launcher::Launcher launcher;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LoadVmLibrary(launcher.Vm(), L"/nonexistent/folder/libjvm.so"));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.rfind("Error: Failed to load Java VM library: /nonexistent/folder/libjvm.so (errno = ", 0), 0u)
        << output;
    EXPECT_EQ(launcher.Vm().vmEntryPoints.createJavaVm, nullptr);
}

}  // namespace
}  // namespace kestran::jvm

namespace kestran::jvm {
namespace {

TEST(VmLibrary, LibraryWithoutEntryPointsPrints212) {
    launcher::Launcher launcher;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(LoadVmLibrary(launcher.Vm(), L"libm.so.6"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: Windows exception: cannot find CreateJavaVM JNI (errno = 0).\n \n");
}

TEST(VmLibrary, LoadsTheJdkLibrary) {
    const std::wstring path = L"/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so";
    launcher::Launcher launcher;
    if (!LoadVmLibrary(launcher.Vm(), path)) GTEST_SKIP() << "no JDK 17 on this machine";
    EXPECT_NE(launcher.Vm().vmEntryPoints.createJavaVm, nullptr);
    EXPECT_NE(launcher.Vm().vmEntryPoints.getDefaultJavaVmInitArgs, nullptr);
    EXPECT_NE(launcher.Vm().vmEntryPoints.findClassFromBootLoader, nullptr);
}

}  // namespace
}  // namespace kestran::jvm
