#include "runtime/runtime_probe.h"

#include <gtest/gtest.h>

#include "runtime/registry_reader.h"
#include "runtime_fakes.h"

namespace kestran::runtime {
namespace {

using testing::FakeFiles;

struct ProbeCase {
    std::initializer_list<const wchar_t*> vms;
    int32_t mode;
    const wchar_t* expected;  // the VM folder under bin, or nullptr for none
    bool serverVm;
};

TEST(RuntimeProbeTest, ModesAndLibraryOrder) {
    const ProbeCase cases[] = {
        {{L"client", L"server"}, 0, L"client", false},
        {{L"client", L"server"}, 1, L"server", true},
        {{L"client", L"server"}, 2, L"server", true},
        {{L"client"}, 1, nullptr, false},
        {{L"client"}, 2, L"client", false},
        {{L"server"}, 0, L"server", true},
        {{L"jrockit", L"server"}, 0, L"server", true},
        {{L"jrockit"}, 0, L"jrockit", false},
        {{L"hotspot", L"classic"}, 0, L"classic", false},
        {{L"hotspot", L"jrockit"}, 2, L"hotspot", false},
        {{L"hotspot"}, 7, L"hotspot", false},  // an unknown mode probes like 0
        {{L"server"}, -1, L"server", true},
        {{}, 0, nullptr, false},
        {{L"minimal"}, 0, nullptr, false},
    };
    for (const ProbeCase& c : cases) {
        FakeFiles files;
        files.AddRuntime(L"C:\\rt\\", c.vms);
        const ProbeResult result = ProbeRuntimeFolder(L"C:\\rt\\", c.mode, files);
        std::wstring label;
        for (const wchar_t* vm : c.vms) label += std::wstring(vm) + L" ";
        if (c.expected == nullptr) {
            EXPECT_TRUE(result.libraryPath.empty()) << "mode " << c.mode << " with " << label;
        } else {
            EXPECT_EQ(result.libraryPath, std::wstring(L"C:\\rt\\bin\\") + c.expected + L"\\jvm.dll")
                << "mode " << c.mode << " with " << label;
        }
        EXPECT_EQ(result.serverVm, c.serverVm) << "mode " << c.mode << " with " << label;
    }
}

TEST(RuntimeProbeTest, JavaRuntimeFolderNeedsJavaDll) {
    FakeFiles files;
    files.AddRuntime(L"C:\\rt\\", {L"server"}, false);
    EXPECT_FALSE(IsJavaRuntimeFolder(L"C:\\rt\\", files));
    files.AddRuntime(L"C:\\rt\\", {});
    EXPECT_TRUE(IsJavaRuntimeFolder(L"C:\\rt\\", files));
}

TEST(RuntimeProbeTest, TrailingBackslash) {
    std::wstring out = L"untouched";
    EXPECT_FALSE(WithTrailingBackslash(L"", out));
    EXPECT_EQ(out, L"untouched");
    EXPECT_TRUE(WithTrailingBackslash(L"C:\\jdk", out));
    EXPECT_EQ(out, L"C:\\jdk\\");
    EXPECT_TRUE(WithTrailingBackslash(L"C:\\jdk\\", out));
    EXPECT_EQ(out, L"C:\\jdk\\");
    EXPECT_TRUE(WithTrailingBackslash(L"\\", out));
    EXPECT_EQ(out, L"\\");
}

struct TextCase {
    const char* name;
    std::vector<uint8_t> data;
    RegistryTextStatus status;
    std::wstring text;
};

TEST(RegistryTextTest, DecodeTable) {
    const TextCase cases[] = {
        {"plain", {'C', 0, ':', 0, '\\', 0, 0, 0}, RegistryTextStatus::Ok, L"C:\\"},
        {"stops at the first NUL", {'a', 0, 0, 0, 'b', 0, 0, 0}, RegistryTextStatus::Ok, L"a"},
        {"NUL then garbage of even length", {'a', 0, 0, 0, 'b', 0}, RegistryTextStatus::Ok, L"a"},
        {"non-ASCII", {0xE9, 0x00, 0x20, 0x04, 0, 0}, RegistryTextStatus::Ok, L"\u00E9\u0420"},
        {"surrogate pair", {0x3D, 0xD8, 0x00, 0xDE, 0, 0}, RegistryTextStatus::Ok, L"\U0001F600"},
        {"empty data", {}, RegistryTextStatus::Empty, L""},
        {"only a NUL", {0, 0}, RegistryTextStatus::Empty, L""},
        {"odd length", {'a', 0, 0}, RegistryTextStatus::OddLength, L""},
        {"one byte", {'a'}, RegistryTextStatus::OddLength, L""},
        {"no NUL", {'a', 0, 'b', 0}, RegistryTextStatus::Unterminated, L""},
    };
    for (const TextCase& c : cases) {
        std::wstring out;
        EXPECT_EQ(DecodeRegistryText(c.data, out), c.status) << c.name;
        EXPECT_EQ(out, c.text) << c.name;
        EXPECT_NE(std::wstring(DescribeRegistryTextStatus(c.status)), L"unknown") << c.name;
    }
}

}  // namespace
}  // namespace kestran::runtime
