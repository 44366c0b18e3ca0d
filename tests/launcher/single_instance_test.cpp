#include <gtest/gtest.h>

#include <vector>

#include "launcher/single_instance.h"

using namespace kestran::launcher;

namespace {

std::string Narrow(const WideList& list) {
    std::string text;
    for (const std::wstring& item : list) text += "[" + std::string(item.begin(), item.end()) + "]";
    return text;
}

}  // namespace

TEST(SingleInstance, ObjectNameIsThePathWithUnderscores) {
    EXPECT_EQ(InstanceObjectName(L"C:\\Apps\\Tool.exe"), L"C:_Apps_Tool.exe");
}

TEST(SingleInstance, ArgumentAreaRoundTrip) {
    const std::wstring longest(518, L'x');  // 1036 + 2 + 2 = 1040 bytes: the most a later instance may write
    struct Case {
        WideList written;
        bool fits;
        WideList read;
    } cases[] = {
        {{L"a", L"b"}, true, {L"a", L"b"}},
        {{}, true, {L""}},                      // no arguments arrive as one empty string
        {{L"a", L"", L"b"}, true, {L"a"}},      // an empty argument ends the list
        {{L"\U0001F600"}, true, {L"\U0001F600"}},  // a surrogate pair: two units each way
        {{longest}, true, {longest}},
        {{longest + L"x"}, false, {L"stale"}},  // refused: the area is left as it was
        {{std::wstring(200, L'y'), std::wstring(318, L'z')}, false, {L"stale"}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> area(kArgumentAreaSize, 0);
        ASSERT_TRUE(WriteForwardedArguments(area.data(), {L"stale"}));
        EXPECT_EQ(WriteForwardedArguments(area.data(), c.written), c.fits) << Narrow(c.written);
        EXPECT_EQ(ForwardedArgumentsSize(c.written) <= kArgumentWriteLimit, c.fits) << Narrow(c.written);
        WideList read;
        ReadForwardedArguments(area.data(), area.size(), read);
        EXPECT_EQ(read, c.read) << Narrow(c.written);
    }
}

TEST(SingleInstance, ArgumentAreaLayout) {
    std::vector<uint8_t> area(kArgumentAreaSize, 0xEE);
    ASSERT_TRUE(WriteForwardedArguments(area.data(), {L"ab", L"\x00E9"}));
    const std::vector<uint8_t> expected = {'a', 0, 'b', 0, 0, 0, 0xE9, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + expected.size()), expected);
    // Cleared up to the write limit only; the reader scans the whole area, and drops a string
    // that the area's end leaves open.
    EXPECT_EQ(area[kArgumentWriteLimit - 1], 0);
    EXPECT_EQ(area[kArgumentWriteLimit], 0xEE);
    std::vector<uint8_t> open(kArgumentAreaSize, 'q');
    open[kArgumentAreaSize - 4] = open[kArgumentAreaSize - 3] = 0;
    WideList read;
    ReadForwardedArguments(open.data(), open.size(), read);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].size(), kArgumentAreaSize / 2 - 2);
}
