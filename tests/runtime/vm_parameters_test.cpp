#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/vm_parameters.h"

namespace kestran::runtime {
namespace {

using Tokens = std::vector<std::wstring>;

TEST(VmParameters, SplitsAtSpacesOutsideQuotes) {
    struct Case {
        const wchar_t* text;
        Tokens expected;
    };
    const Case cases[] = {
        {L"-Xmx512m  -Dname=\"a b\" \"-Dx=1 2\"", {L"-Xmx512m", L"-Dname=\"a b\"", L"\"-Dx=1 2\""}},
        {L"   -Da -Db", {L"-Da", L"-Db"}},               // leading spaces of a "+" section
        {L"-Da   ", {L"-Da"}},
        {L"", {}},
        {L"     ", {}},
        {L"-Da\t-Db", {L"-Da\t-Db"}},                     // only the space separates
        {L"-Da=\"b c -Dd", {L"-Da=\"b", L"c", L"-Dd"}},  // an unclosed quote protects nothing
        {L"-Dx=\"a b\"c\"d e\" -Dy", {L"-Dx=\"a b\"c\"d e\"", L"-Dy"}},
        {L"-Dq=\"\"\"  x", {L"-Dq=\"\"\"", L"x"}},
        {L"-Da=\"x\"\" y\"", {L"-Da=\"x\"\"", L"y\""}},  // a doubled quote closes, then reopens nothing
        {L"\"a b\" c", {L"\"a b\"", L"c"}},
        {L"\"\"", {L"\"\""}},
        {L"\"", {L"\""}},
        {L"a\" b", {L"a\"", L"b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitVmParameters(c.text), c.expected) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(VmParameters, StripsQuotesInPlace) {
    struct Case {
        const wchar_t* token;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"-Dapp.home=\"C:\\Program Files\\App\"", L"-Dapp.home=C:\\Program Files\\App"},
        {L"\"-Dx=1 2\"", L"-Dx=1 2"},
        {L"-Dq=\"\"\"", L"-Dq=\""},       // the doubled quote leaves one quote character
        {L"\"a\"b\"c\"", L"abc"},
        {L"x\"y\"z\"", L"xyz\""},         // the unmatched last quote stays
        {L"\"a\"\"b\"", L"a\"b\""},
        {L"\"\"\"\"", L"\"\""},
        {L"\"\"", L""},
        {L"a\"", L"a\""},
        {L"\"a", L"\"a"},
        {L"plain", L"plain"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring token = c.token;
        StripQuotes(token);
        EXPECT_EQ(token, c.expected) << testing::PrintToString(std::wstring(c.token));
    }
}

TEST(VmParameters, PipelineRewritesPercentagesAndReadsStackSize) {
    MemoryStatus memory;
    memory.totalPhysical = uint64_t{16} << 30;
    struct Case {
        Tokens tokens;
        Tokens expectedOptions;
        uint64_t expectedStack;
    };
    const Case cases[] = {
        {{L"-Xmx50P", L"-Xss512k"}, {L"-Xmx8388608K", L"-Xss512k"}, 524288},
        {{L"\"-Xmx50P\""}, {L"-Xmx8388608K"}, 0},                    // quotes go first
        {{L"-Xss\"2m\""}, {L"-Xss2m"}, 2097152},
        {{L"-Xss1P"}, {L"-Xss167772K"}, 167772ull * 1024},          // rewritten, then read
        {{L"-Xss512k", L"-Xss=1m"}, {L"-Xss512k", L"-Xss=1m"}, 0},   // the last decides, even unparsable
        {{L"-Xss512k", L"-Xss2m"}, {L"-Xss512k", L"-Xss2m"}, 2097152},
        {{L"-XSS2m", L"-Xmx512m", L"-XMX50P"}, {L"-XSS2m", L"-Xmx512m", L"-XMX50P"}, 0},
        {{L"-Dname=\"a b\""}, {L"-Dname=a b"}, 0},
    };
    for (const Case& c : cases) {
        Tokens options{L"-Djava.class.path=x;"};
        uint64_t stack = 0;
        for (const std::wstring& token : c.tokens) AddVmParameter(token, memory, stack, options);
        Tokens expected{L"-Djava.class.path=x;"};
        expected.insert(expected.end(), c.expectedOptions.begin(), c.expectedOptions.end());
        EXPECT_EQ(options, expected) << testing::PrintToString(c.tokens);
        EXPECT_EQ(stack, c.expectedStack) << testing::PrintToString(c.tokens);
    }
}

TEST(VmParameters, HugeTextsSplitWithoutTrouble) {
    std::wstring text;
    for (int i = 0; i < 20000; ++i) text += (i % 7 == 0) ? L"\"a b " : L"-Dk=v ";
    Tokens tokens = SplitVmParameters(text);
    EXPECT_FALSE(tokens.empty());
    std::wstring quotes(100001, L'"');
    Tokens single = SplitVmParameters(quotes);
    ASSERT_EQ(single.size(), 1u);
    StripQuotes(single[0]);
    EXPECT_LT(single[0].size(), quotes.size());
}

}  // namespace
}  // namespace kestran::runtime
