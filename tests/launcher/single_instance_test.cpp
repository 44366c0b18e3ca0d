#include <gtest/gtest.h>

#include <vector>

#include "launcher/single_instance.h"

using namespace kestran::launcher;

TEST(SingleInstance, ArgumentAreaRoundTrip) {
    EXPECT_EQ(InstanceObjectName(L"C:\\Apps\\Tool.exe"), L"C:_Apps_Tool.exe");
    const std::wstring longest(518, L'x');  // 1036 + 2 + 2 = 1040 bytes, the most that fits
    struct Case {
        WideList written;
        bool fits;
        WideList read;
    } cases[] = {
        {{L"a", L"b"}, true, {L"a", L"b"}},
        {{}, true, {L""}},
        {{L"a", L"", L"b"}, true, {L"a"}},
        {{L"\U0001F600"}, true, {L"\U0001F600"}},
        {{longest}, true, {longest}},
        {{longest + L"x"}, false, {L"stale"}},  // refused: the area is left as it was
        {{std::wstring(200, L'y'), std::wstring(318, L'z')}, false, {L"stale"}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> area(kArgumentAreaSize, 0);
        ASSERT_TRUE(WriteForwardedArguments(area.data(), {L"stale"}));
        EXPECT_EQ(WriteForwardedArguments(area.data(), c.written), c.fits) << c.written.size();
        EXPECT_EQ(ForwardedArgumentsSize(c.written) <= kArgumentWriteLimit, c.fits) << c.written.size();
        WideList read;
        ReadForwardedArguments(area.data(), area.size(), read);
        EXPECT_EQ(read, c.read) << c.written.size();
    }
}

TEST(SingleInstance, ArgumentAreaLayout) {
    std::vector<uint8_t> area(kArgumentAreaSize, 0xEE);
    ASSERT_TRUE(WriteForwardedArguments(area.data(), {L"ab", L"\x00E9"}));
    const std::vector<uint8_t> expected = {'a', 0, 'b', 0, 0, 0, 0xE9, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + expected.size()), expected);
    EXPECT_EQ(area[kArgumentWriteLimit - 1], 0);  // cleared up to the write limit only
    EXPECT_EQ(area[kArgumentWriteLimit], 0xEE);
    // The reader scans the whole area and drops a string its end leaves open.
    std::vector<uint8_t> open(kArgumentAreaSize, 'q');
    open[kArgumentAreaSize - 4] = open[kArgumentAreaSize - 3] = 0;
    WideList read;
    ReadForwardedArguments(open.data(), open.size(), read);
    EXPECT_EQ(read, WideList{std::wstring(kArgumentAreaSize / 2 - 2, L'\x7171')});
}
