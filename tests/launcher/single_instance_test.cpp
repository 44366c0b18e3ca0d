#include <gtest/gtest.h>

#include <vector>

#include "launcher/single_instance.h"

using namespace kestran::launcher;

// The round trips of whole lists are run end to end under Wine; this is the byte layout that
// launchers of other versions read.
TEST(SingleInstance, ArgumentAreaLayout) {
    EXPECT_EQ(InstanceObjectName(L"C:\\Apps\\Tool.exe"), L"C:_Apps_Tool.exe");
    std::vector<uint8_t> area(kArgumentAreaSize, 0xEE);
    ASSERT_TRUE(WriteForwardedArguments(area.data(), {L"ab", L"\x00E9"}));
    const std::vector<uint8_t> expected = {'a', 0, 'b', 0, 0, 0, 0xE9, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + expected.size()), expected);
    EXPECT_EQ(area[kArgumentWriteLimit - 1], 0);  // cleared up to the write limit only
    EXPECT_EQ(area[kArgumentWriteLimit], 0xEE);
    // Too long (200 + 318 characters: 1042 bytes): refused, the area left as it was.
    EXPECT_FALSE(WriteForwardedArguments(area.data(), {std::wstring(200, L'y'), std::wstring(318, L'z')}));
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + expected.size()), expected);
    // The reader scans the whole area and drops a string its end leaves open.
    std::vector<uint8_t> open(kArgumentAreaSize, 'q');
    open[kArgumentAreaSize - 4] = open[kArgumentAreaSize - 3] = 0;
    WideList read;
    ReadForwardedArguments(open.data(), open.size(), read);
    EXPECT_EQ(read, WideList{std::wstring(kArgumentAreaSize / 2 - 2, L'\x7171')});
}

// The object name of this naming scheme: versions that share it must derive the same text, and
// no path, however long, may push it past the 260 characters a kernel object name can have.
TEST(SingleInstance, CanonicalNameIsFixedAndBounded) {
    const std::wstring sid = L"S-1-5-21-1-2-3-1001";
    struct Case {
        std::wstring path;
        std::wstring name;
    } cases[] = {
        {L"\\\\?\\C:\\APPS\\TOOL.EXE", L""},
        {L"\\\\?\\C:\\" + std::wstring(280, L'D') + L"\\TOOL.EXE", L""},
    };
    for (Case& c : cases) c.name = CanonicalInstanceName(c.path, sid);
    EXPECT_EQ(cases[0].name, L"Local\\Kestran.S-1-5-21-1-2-3-1001.88c499b9ea4470851eb1d5a627e1b32b");
    EXPECT_EQ(cases[0].name.size(), cases[1].name.size());
    EXPECT_NE(cases[0].name, cases[1].name);
    EXPECT_LT(cases[1].name.size(), 260u);
}
