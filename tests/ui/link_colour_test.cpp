#include <gtest/gtest.h>

#include "../runtime/runtime_fakes.h"
#include "ui/link_colour.h"
#include "ui/runtime_pick.h"

using namespace kestran;

namespace {

constexpr int64_t kNone = -1;

int64_t Parsed(const std::wstring& text) {
    auto colour = ui::ParseRgb(text);
    return colour ? static_cast<int64_t>(*colour) : kNone;
}

TEST(LinkColourTest, ParseRgbTable) {
    struct Case { const wchar_t* text; int64_t colour; };
    const Case cases[] = {
        {L"255,0,0", 0x0000FF},
        {L"0,128,255", 0xFF8000},
        {L"0,128,255,7", 0xFF8000},        // blue is read from "255,7": 255
        {L" 1, 2 ,3x", 0x030201},          // blanks before a number, anything after it
        {L"256,-1,513", 0x01FF00},         // each component modulo 256
        {L"99999999999,0,0", 0x0000FF},    // saturated like a 32-bit long: 0x7FFFFFFF
        {L"abc,def,ghi", 0x000000},
        {L"255,0", kNone},
        {L"abc", kNone},
        {L"1,2,", kNone},
        {L"", kNone},
    };
    for (const Case& c : cases) EXPECT_EQ(Parsed(c.text), c.colour) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(LinkColourTest, RegistryValueTable) {
    using runtime::testing::Utf16Bytes;
    struct Case { bool isString; std::vector<uint8_t> data; int64_t colour; const char* name; };
    const Case cases[] = {
        {true, Utf16Bytes(L"255,0,0"), 0x0000FF, "string"},
        {false, Utf16Bytes(L"255,0,0"), kNone, "not a string"},
        {true, Utf16Bytes(L"255,0,0", false), kNone, "no terminator"},
        {true, Utf16Bytes(L"1,22,333,44"), 0x4D1601, "11 characters: 24 bytes"},
        {true, Utf16Bytes(L"1,22,333,444"), kNone, "12 characters: over 24 bytes"},
        {true, Utf16Bytes(L""), kNone, "empty"},
        {true, {}, kNone, "no data"},
    };
    for (const Case& c : cases) {
        auto colour = ui::ColourFromRegistryValue(c.isString, c.data);
        EXPECT_EQ(colour ? static_cast<int64_t>(*colour) : kNone, c.colour) << c.name;
    }
}

// Each row picks folders in turn; after the last one OK must be offered exactly when that
// folder held a library, and the folder must carry one backslash.
TEST(RuntimePickTest, PickSequenceTable) {
    runtime::testing::FakeFiles files;
    files.AddRuntime(L"C:\\jre\\", {L"server"});
    files.AddRuntime(L"C:\\client\\", {L"client"});
    files.AddRuntime(L"D:\\", {L"server"});
    struct Case { int jvmType; std::vector<std::wstring> picks; std::wstring folder; std::wstring library; };
    const Case cases[] = {
        {0, {L"C:\\jre"}, L"C:\\jre\\", L"C:\\jre\\bin\\server\\jvm.dll"},
        {0, {L"D:\\"}, L"D:\\", L"D:\\bin\\server\\jvm.dll"},
        {0, {L"C:\\empty"}, L"C:\\empty\\", L""},
        {1, {L"C:\\client"}, L"C:\\client\\", L""},
        {0, {L"C:\\jre", L"C:\\empty"}, L"C:\\empty\\", L""},
        {0, {L"C:\\empty", L"C:\\jre\\"}, L"C:\\jre\\", L"C:\\jre\\bin\\server\\jvm.dll"},
        {0, {L""}, L"", L""},
    };
    for (const Case& c : cases) {
        ui::RuntimePick pick(c.jvmType);
        for (const auto& path : c.picks) pick.Pick(path, files);
        std::string name(c.picks.back().begin(), c.picks.back().end());
        EXPECT_EQ(pick.folder(), c.folder) << name;
        EXPECT_EQ(pick.libraryPath(), c.library) << name;
        EXPECT_EQ(pick.CanAccept(), !c.library.empty()) << name;
    }
}

}  // namespace
