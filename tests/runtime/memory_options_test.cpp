#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/memory_options.h"

namespace kestran::runtime {
namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;
constexpr uint64_t kMaxU64 = std::numeric_limits<uint64_t>::max();

MemoryStatus Physical(uint64_t bytes) {
    MemoryStatus memory;
    memory.totalPhysical = bytes;
    memory.availableVirtual = 7;  // must never be used for P
    return memory;
}

TEST(MemoryOptions, RecognisesPercentOptions) {
    struct Case {
        const wchar_t* token;
        bool expected;
    };
    const Case cases[] = {
        {L"-Xmx50P", true},   {L"-Xmx50p", true},   {L"-Xms10T", true},  {L"-Xss1t", true},
        {L"-Xmx25:512:2048P", true}, {L"-XmxP", true}, {L"-Xmx512m", false}, {L"-XMX50P", false},
        {L"-xmx50P", false},  {L"-Xmx50", false},   {L"-Xmn50P", false}, {L"-Xm", false},
        {L"", false},         {L"P", false},        {L"-Xmx", false},    {L"-Xmx50P ", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMemoryPercentOption(c.token), c.expected) << "token: " << testing::PrintToString(std::wstring(c.token));
    }
}

TEST(MemoryOptions, ParsesNumberLists) {
    struct Case {
        const wchar_t* text;
        size_t prefixLength;
        std::vector<uint64_t> numbers;
    };
    const Case cases[] = {
        {L"-Xmx25:512:2048P", 4, {25, 512, 2048}},
        {L"-Xmx50%P", 4, {50}},                      // '%' is skipped
        {L"-Xmx:256P", 4, {0, 256}},                 // missing percentage counts as 0
        {L"-Xmx1:2:3:4P", 4, {1, 2, 3, 4}},          // numbers after the third are read too
        {L"-Xmxab12P", 6, {12}},                     // prefix characters stay in the prefix
        {L"-XmxP", 5, {}},                           // no digit: prefix is the whole text
        {L"", 0, {}},
        {L"5", 0, {0}},                              // the last character is never read
        {L"512k", 0, {512}},
        {L"-Xmx99999999999999999999999P", 4, {kMaxU64}},  // saturates instead of wrapping
        {L"-Xmx18446744073709551615:1P", 4, {kMaxU64, 1}},
    };
    for (const Case& c : cases) {
        NumberList list = ParseNumberList(c.text);
        EXPECT_EQ(list.prefixLength, c.prefixLength) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(list.numbers, c.numbers) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(MemoryOptions, ResolvesPercentagesAgainstPhysicalMemory) {
    struct Case {
        uint64_t physical;
        const wchar_t* token;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {16 * kGiB, L"-Xmx50P", L"-Xmx8388608K"},
        {16 * kGiB, L"-Xmx50%P", L"-Xmx8388608K"},
        {16 * kGiB, L"-Xms10p", L"-Xms1677721K"},          // 1677721.6 truncated
        {16 * kGiB, L"-Xmx25:512:2048P", L"-Xmx2097152K"},  // capped at 2048 MB
        {1 * kGiB, L"-Xmx25:512:2048P", L"-Xmx524288K"},    // raised to 512 MB
        {16 * kGiB, L"-Xmx:256P", L"-Xmx262144K"},
        {16 * kGiB, L"-Xmx0P", L"-Xmx0K"},
        {16 * kGiB, L"-Xss1P", L"-Xss167772K"},
        {16 * kGiB + 1023, L"-Xmx50P", L"-Xmx8388608K"},    // the base is taken in whole KB
        {16 * kGiB, L"-Xmx50:0:0P", L"-Xmx8388608K"},        // a 0 maximum means none
        {16 * kGiB, L"-Xmx100P", L"-Xmx16777216K"},
        {16 * kGiB, L"-Xmx200P", L"-Xmx33554432K"},
        {0, L"-Xmx50P", L"-Xmx0K"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveMemoryPercent(c.token, Physical(c.physical)), c.expected)
            << testing::PrintToString(std::wstring(c.token)) << " with " << c.physical << " bytes";
    }
}

TEST(MemoryOptions, TUsesAvailableVirtualMemory) {
    MemoryStatus memory;
    memory.totalPhysical = 16 * kGiB;
    memory.availableVirtual = 128ull * 1024 * kGiB;  // 128 TiB, as on x64 Windows
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx1T", memory), L"-Xmx1374389534K");
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx1t", memory), L"-Xmx1374389534K");
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx1P", memory), L"-Xmx167772K");
}

// Sizes of 2^31 KB and more do not fit a signed 32-bit "%d": they are written exactly,
// unsigned, never negative or wrapped.
TEST(MemoryOptions, LargeSizesAreWrittenExactly) {
    MemoryStatus memory;
    memory.availableVirtual = uint64_t{1} << 41;  // 2^31 KB
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx100T", memory), L"-Xmx2147483648K");
    memory.availableVirtual = (uint64_t{1} << 41) - 1024;
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx100T", memory), L"-Xmx2147483647K");
    memory.availableVirtual = 128ull * 1024 * kGiB;
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx50T", memory), L"-Xmx68719476736K");
    EXPECT_EQ(ResolveMemoryPercent(L"-Xmx1:3000000P", Physical(kGiB)), L"-Xmx3072000000K");
}

// A size the launcher would have to invent reaches the VM as written, and the VM says why
// it refuses it.
TEST(MemoryOptions, MalformedPercentagesPassUnchanged) {
    for (const wchar_t* token : {L"-Xmx50.5P", L"-Xmx12,5P", L"-Xmx-5P", L"-XmxP", L"-Xmx%P", L"-Xmx10:4096:1024P",
                                 L"-Xmx99999999999999999999999P", L"-Xmx1:99999999999999999999P", L"-Xmx1:2:3:4P",
                                 L"-Xmx=50P", L"-Xmx50%%P", L"-Xmx5%0P"}) {
        EXPECT_EQ(ResolveMemoryPercent(token, Physical(16 * kGiB)), token) << testing::PrintToString(std::wstring(token));
    }
}

TEST(MemoryOptions, ParsesStackSizes) {
    struct Case {
        const wchar_t* token;
        uint64_t expected;
    };
    const Case cases[] = {
        {L"-Xss512k", 524288},
        {L"-Xss512K", 524288},
        {L"-Xss2m", 2097152},
        {L"-Xss2M", 2097152},
        {L"-Xss1g", 1073741824},
        {L"-Xss1G", 1073741824},
        {L"-Xss1048576", 1048576},   // the last digit belongs to the number
        {L"-Xss5", 5},
        {L"-Xss167772K", 167772ull * 1024},
        {L"-Xss12x", 0},             // unknown unit: the VM's default, not 12 bytes
        {L"-Xss1.5m", 0},
        {L"-Xss=512k", 0},           // does not start with a digit
        {L"-Xss", 0},
        {L"-Xssk", 0},
        {L"-Xss1:2k", 0},            // two numbers
        {L"-Xss:2k", 0},
        {L"-Xss99999999999999999999k", 0},
        {L"-Xss17179869184g", 0},    // number x multiplier overflows
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseStackSize(c.token), c.expected) << testing::PrintToString(std::wstring(c.token));
    }
}

TEST(MemoryOptions, PlatformReportsSomeMemory) {
    MemoryStatus memory = QueryMemoryStatus();
    EXPECT_GT(memory.totalPhysical, 0u);
    EXPECT_GT(memory.availableVirtual, 0u);
}

}  // namespace
}  // namespace kestran::runtime
