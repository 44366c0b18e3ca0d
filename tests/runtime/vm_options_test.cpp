#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "launcher/launcher.h"
#include "runtime/vm_options.h"

namespace kestran::runtime {
namespace {

using Key = std::pair<std::wstring, std::wstring>;
using Narrow = std::vector<std::string>;
using Wide = std::vector<std::wstring>;

class FakeSettings : public config::SettingsStore {
public:
    explicit FakeSettings(std::map<Key, std::wstring> values) : SettingsStore(L"C:\\app\\Tool.ini"), values_(std::move(values)) {}
    unsigned long readHead(unsigned char (&)[4]) const override { return 0; }
    void getValue(const std::wstring& section, const std::wstring& key, std::wstring& out) const override {
        auto found = values_.find({section, key});
        out = found == values_.end() ? std::wstring() : found->second;
        read.push_back(key);
    }
    void sectionNames(std::vector<std::wstring>&) const override {}
    bool setValue(const std::wstring&, const std::wstring&, const std::wstring&) override { return false; }
    bool deleteFile() override { return false; }

    mutable Wide read;

private:
    std::map<Key, std::wstring> values_;
};

class FakeSources : public OptionSources {
public:
    bool ModulePath(std::wstring& out) override {
        ++modulePathCalls;
        if (!moduleKnown) return false;
        out = L"C:\\app\\Tool.exe";
        return true;
    }
    void ExpandEnvironment(std::wstring& text) override {
        // Like the platform: known %NAME% replaced, unknown names left as written.
        std::wstring out;
        size_t i = 0;
        while (i < text.size()) {
            size_t open = text.find(L'%', i);
            size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
            if (close == std::wstring::npos) break;
            out.append(text, i, open - i);
            auto found = environment.find(text.substr(open + 1, close - open - 1));
            if (found != environment.end()) {
                out += found->second;
                i = close + 1;
            } else {
                out += L'%';
                i = open + 1;
            }
        }
        out.append(text, i, std::wstring::npos);
        text = out;
    }
    void ListMatches(const std::wstring& pattern, std::vector<std::wstring>& names) override {
        auto found = disk.find(pattern);
        if (found != disk.end()) names = found->second;
    }
    MemoryStatus Memory() override {
        MemoryStatus memory;
        memory.totalPhysical = uint64_t{16} << 30;
        return memory;
    }

    bool moduleKnown = true;
    int modulePathCalls = 0;
    std::map<std::wstring, std::wstring> environment = {{L"APPDATA", L"C:\\Users\\u\\AppData"}, {L"LOGS", L"D:\\logs"}, {L"PCTOS", L"%OS%"},
                                                           {L"OS", L"Windows_NT"}, {L"TEMP", L"T"},
                                                           {L"JARS", L"C:\\x.jar;;C:\\y.jar;"}, {L"MIXED", L"C:\\x.jar;lib;."}};
    std::map<std::wstring, Wide> disk = {
        {L"C:\\app\\lib\\*.jar", {L"a.jar"}},
        {L"C:\\app\\app.jar", {L"app.jar"}},
        {L"C:\\app\\%OS%.jar", {L"%OS%.jar"}},
        {L"C:\\app\\jars\\*.jar", {L"%TEMP%.jar"}},
    };
};

const Key kClassPath{L"Class Path", L"Class Path"};
const Key kEmbedded{L"Application", L"Embedded Jar"};
const Key kParameters{L"Java Runtime Environment", L"Virtual Machine Parameters"};
const Key kCmd{L"Application", L"Cmd"};

struct Assembly {
    bool result = false;
    launcher::Launcher launcher;
    std::string output;
};

void Assemble(Assembly& run, std::map<Key, std::wstring> values, FakeSources& sources) {
    FakeSettings settings(std::move(values));
    testing::internal::CaptureStdout();
    run.result = AssembleVmOptionsFrom(run.launcher, run.launcher, settings, sources);
    run.output = testing::internal::GetCapturedStdout();
}

TEST(VmOptions, BuildsTheClassPathItemByItem) {
    struct Case {
        const wchar_t* classPath;
        const wchar_t* embedded;
        const char* expected;
    };
    const Case cases[] = {
        {L"lib\\*.jar;C:\\shared\\x.jar;%APPDATA%\\y.jar", L"",
         "-Djava.class.path=C:\\app\\lib\\a.jar;C:\\shared\\x.jar;C:\\Users\\u\\AppData\\y.jar"},
        {L"lib\\*.jar", L"YES", "-Djava.class.path=C:\\app\\Tool.exe;C:\\app\\lib\\a.jar"},
        {L"", L"yes", "-Djava.class.path=C:\\app\\Tool.exe"},
        {L"app.jar;missing.jar;;C:\\gone\\nothing.jar", L"",
         "-Djava.class.path=C:\\app\\app.jar;C:\\gone\\nothing.jar"},  // absolute: disk not asked
        {L"%UNSET%\\z.jar", L"", "-Djava.class.path="},                   // relative after expansion, not on disk
        {L"C:\\a.jar;C:\\a.jar", L"Yes please", "-Djava.class.path=C:\\a.jar;C:\\a.jar"},
        {L"\"C:\\a b\\x.jar\";\"C:\\c d\\y.jar\"", L"", "-Djava.class.path=C:\\a b\\x.jar;C:\\c d\\y.jar"},
        {L"%PCTOS%.jar;jars\\*.jar", L"",  // a value or a file name holding %...% is not expanded again
         "-Djava.class.path=C:\\app\\%OS%.jar;C:\\app\\jars\\%TEMP%.jar"},
        {L"C:\\a.jar;lib\\*.zip;C:\\b.jar", L"", "-Djava.class.path=C:\\a.jar;C:\\b.jar"},  // no ";;" for an empty match
        {L"%JARS%", L"", "-Djava.class.path=C:\\x.jar;C:\\y.jar"},  // a variable holding a list with empty pieces
        {L"%MIXED%", L"", "-Djava.class.path=C:\\x.jar"},  // and with pieces the working directory would resolve
    };
    for (const Case& c : cases) {
        FakeSources sources;
        Assembly run;
        Assemble(run, {{kClassPath, c.classPath}, {kEmbedded, c.embedded}}, sources);
        std::string label = testing::PrintToString(std::wstring(c.classPath));
        if (std::string(c.expected) == "-Djava.class.path=") {
            EXPECT_FALSE(run.result) << label;
            EXPECT_TRUE(run.launcher.vmOptions.empty()) << label;
            continue;
        }
        EXPECT_TRUE(run.result) << label;
        EXPECT_EQ(run.launcher.vmOptions, Narrow{c.expected}) << label;
        EXPECT_EQ(run.output, "") << label;
    }
}

TEST(VmOptions, EmptyClassPathPrints209AndAssemblesTheRest) {
    FakeSources sources;
    Assembly run;
    run.launcher.vmOptions.push_back("-Djava.library.path=L");
    run.launcher.arguments.push_back(L"first");
    FakeSettings settings({{kParameters, L"-Djava.class.path=C:\\x.jar -Xss2m"},
                           {kCmd, L"extra"},
                           {{L"Application", L"Output File"}, L"o.txt"}});
    testing::internal::CaptureStdout();
    EXPECT_FALSE(AssembleVmOptionsFrom(run.launcher, run.launcher, settings, sources));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Java Class Path was not specified in INI file. \n");
    EXPECT_EQ(run.launcher.vmOptions, (Narrow{"-Djava.library.path=L", "-Djava.class.path=C:\\x.jar", "-Xss2m"}));
    EXPECT_EQ(run.launcher.arguments, (Wide{L"first", L"extra"}));
    EXPECT_EQ(run.launcher.threadStackSize, 2097152u);
    EXPECT_EQ(run.launcher.outputFile, L"C:\\app\\o.txt");  // relative: beside the launcher
}

TEST(VmOptions, UnreadableModulePathSkipsRelativeItemsAndIsAskedOnce) {
    FakeSources sources;
    sources.moduleKnown = false;
    Assembly run;
    Assemble(run, {{kClassPath, L"lib\\*.jar;app.jar;C:\\x.jar"}, {kEmbedded, L"yes"}}, sources);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.launcher.vmOptions, Narrow{"-Djava.class.path=C:\\x.jar"});
    EXPECT_EQ(sources.modulePathCalls, 1);
}

TEST(VmOptions, AppendsParametersInWrittenOrderAfterWhatIsThere) {
    FakeSources sources;
    Assembly run;
    run.launcher.vmOptions.push_back("-Djava.library.path=L");
    Assemble(run,
             {{kClassPath, L"C:\\x.jar"},
              {kParameters, L"   -Xmx512m  -Dname=\"a b\" \"-Dx=1 2\" -Xms50P -Dlog=%LOGS%\\app.log -Xss1m"}},
             sources);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.launcher.vmOptions, (Narrow{"-Djava.library.path=L", "-Djava.class.path=C:\\x.jar", "-Xmx512m",
                                              "-Dname=a b", "-Dx=1 2", "-Xms8388608K", "-Dlog=D:\\logs\\app.log",
                                              "-Xss1m"}));
    EXPECT_EQ(run.launcher.threadStackSize, 1048576u);
}

// References are expanded after the per-token pipeline: a percentage hidden in a variable is
// not computed, and the stack size of "-Xss%SIZE%" is not known to the launcher.
TEST(VmOptions, EnvironmentIsExpandedAfterThePipeline) {
    FakeSources sources;
    sources.environment[L"PCT"] = L"50";
    sources.environment[L"SIZE"] = L"2m";
    Assembly run;
    Assemble(run, {{kClassPath, L"C:\\x.jar"}, {kParameters, L"-Xmx%PCT%P -Xss%SIZE%"}}, sources);
    EXPECT_EQ(run.launcher.vmOptions, (Narrow{"-Djava.class.path=C:\\x.jar", "-Xmx50P", "-Xss2m"}));
    EXPECT_EQ(run.launcher.threadStackSize, 0u);
}

TEST(VmOptions, ReadsRedirectionAndCmd) {
    struct Case {
        const wchar_t* append;
        bool expected;
    };
    const Case cases[] = {{L"yes", true}, {L"Yes", false}, {L"YES", false}, {L"", false}, {L"yes ", false}};
    for (const Case& c : cases) {
        FakeSources sources;
        Assembly run;
        run.launcher.arguments = {L"report.txt"};
        Assemble(run,
                 {{kClassPath, L"C:\\x.jar"},
                  {{L"Application", L"Output File"}, L"%LOGS%\\out.txt"},
                  {{L"Application", L"Output Append"}, c.append},
                  {{L"Application", L"Error File"}, L"%UNSET%\\err.txt"},
                  {{L"Application", L"Error Append"}, c.append},
                  {kCmd, L"a \"b c\" \"\" d %LOGS%"}},
                 sources);
        std::string label = testing::PrintToString(std::wstring(c.append));
        EXPECT_EQ(run.launcher.outputFile, L"D:\\logs\\out.txt") << label;
        EXPECT_EQ(run.launcher.errorFile, L"C:\\app\\%UNSET%\\err.txt") << label;
        EXPECT_EQ(run.launcher.outputAppend, c.expected) << label;
        EXPECT_EQ(run.launcher.errorAppend, c.expected) << label;
        EXPECT_EQ(run.launcher.arguments, (Wide{L"report.txt", L"a", L"b c", L"d", L"D:\\logs"})) << label;
    }
}

TEST(VmOptions, SplashFromItsSettingOrTheParameterThatNeverReachesTheVm) {
    const Key image{L"Application", L"Splash Image"};
    const Key timeout{L"Application", L"Splash Timeout"};
    struct Case {
        const wchar_t* setting;
        const wchar_t* parameters;
        const wchar_t* timeout;
        const wchar_t* image;
        Narrow options;  // after the class path
        uint32_t seconds;
    } cases[] = {
        {L"splash.png", L"", L"5", L"C:\\app\\splash.png", {}, 5},
        {L"%LOGS%\\s.png", L"-Xmx1m", L"", L"D:\\logs\\s.png", {"-Xmx1m"}, 0},
        // The parameter wins, quoted for its spaces; an empty one shows none.
        {L"splash.png", L"\"-splash:C:\\My Pics\\s.png\" -Xmx1m", L"x", L"C:\\My Pics\\s.png", {"-Xmx1m"}, 0},
        {L"splash.png", L"-splash: -Dsplash:x=1", L"86401", L"", {"-Dsplash:x=1"}, 0},
    };
    for (const Case& c : cases) {
        FakeSources sources;
        Assembly run;
        Assemble(run, {{kClassPath, L"C:\\x.jar"}, {image, c.setting}, {kParameters, c.parameters}, {timeout, c.timeout}}, sources);
        Narrow options{"-Djava.class.path=C:\\x.jar"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const std::string label = testing::PrintToString(std::wstring(c.parameters));
        EXPECT_EQ(run.launcher.splash.image, c.image) << label;
        EXPECT_EQ(run.launcher.vmOptions, options) << label;
        EXPECT_EQ(run.launcher.splash.timeoutSeconds, c.seconds) << label;
    }
}

TEST(VmOptions, HugeSettingsDoNotBreakTheAssembly) {
    FakeSources sources;
    std::wstring classPath;
    for (int i = 0; i < 20000; ++i) classPath += L"C:\\lib\\j" + std::to_wstring(i) + L".jar;;";
    std::wstring parameters(200000, L'"');
    parameters += L" -Xmx99999999999999999999999999P -Xss99999999999999999999999g";
    Assembly run;
    Assemble(run, {{kClassPath, classPath}, {kParameters, parameters}}, sources);
    EXPECT_TRUE(run.result);
    ASSERT_EQ(run.launcher.vmOptions.size(), 4u);
    EXPECT_EQ(run.launcher.vmOptions[2], "-Xmx99999999999999999999999999P");
    EXPECT_EQ(run.launcher.threadStackSize, 0u);
}

}  // namespace
}  // namespace kestran::runtime
