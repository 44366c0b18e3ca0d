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
