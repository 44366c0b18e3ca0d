#include "config/split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestran::config {
namespace {

using List = std::vector<std::wstring>;

struct ListCase {
    const wchar_t* text;
    const wchar_t* separator;
    List expected;
};

TEST(SplitListTest, Table) {
    const ListCase cases[] = {
        {L"a;b", L";", {L"a", L"b"}},
        {L"a;;b", L";", {L"a", L"", L"b"}},
        {L"a;", L";", {L"a"}},
        {L";a", L";", {L"", L"a"}},
        {L";", L";", {L""}},
        {L";;", L";", {L"", L""}},
        {L"", L";", {}},
        {L"", L"", {}},
        {L"abc", L"", {L"abc"}},
        {L"abc", L";", {L"abc"}},
        {L"1.8;11;", L";", {L"1.8", L"11"}},
        {L"a\r\nb", L"\r\n", {L"a", L"b"}},
        {L"a\nb", L"\r\n", {L"a\nb"}},
        {L"a\r\n\r\nb\r\n", L"\r\n", {L"a", L"", L"b"}},
        {L"a\rb\r", L"\r\n", {L"a\rb\r"}},
        {L"a::::b", L"::", {L"a", L"", L"b"}},
        {L"a:::b", L"::", {L"a", L":b"}},
    };
    for (const ListCase& c : cases) {
        List out;
        SplitList(c.text, c.separator, out);
        EXPECT_EQ(out, c.expected) << "text \"" << c.text << "\" separator \"" << c.separator << "\"";
    }
}

TEST(SplitListTest, ClearsEarlierContent) {
    List out{L"stale"};
    SplitList(L"", L";", out);
    EXPECT_TRUE(out.empty());
    out = {L"stale"};
    SplitList(L"x", L";", out);
    EXPECT_EQ(out, List{L"x"});
}

TEST(SplitListTest, HugeText) {
    const std::wstring text(100000, L';');
    List out;
    SplitList(text, L";", out);
    EXPECT_EQ(out.size(), 100000u);

    std::wstring words;
    for (int i = 0; i < 20000; ++i) {
        words += L"abcd;";
    }
    SplitList(words, L";", out);
    ASSERT_EQ(out.size(), 20000u);
    EXPECT_EQ(out.back(), L"abcd");
}

struct ArgumentsCase {
    const wchar_t* text;
    List expected;
};

TEST(SplitArgumentsTest, Table) {
    const ArgumentsCase cases[] = {
        {L"", {}},
        {L"a", {L"a"}},
        {L"-a \"b c\" d", {L"-a", L"b c", L"d"}},
        {L"a   b", {L"a", L"b"}},
        {L"a ", {L"a"}},
        {L" a", {L"", L"a"}},
        {L"   ", {L""}},
        {L"a\tb", {L"a\tb"}},
        {L"\"unterminated x", {L"unterminated x"}},
        {L"a \"", {L"a", L""}},
        {L"\"\"", {L""}},
        {L"\"\" b", {L"", L"b"}},
        {L"\"a\"b", {L"a", L"b"}},
        {L"\"a\" \"b\"", {L"a", L"b"}},
        {L"a\"b\" c", {L"a\"b\"", L"c"}},
        {L"\\\"a\\\"", {L"\\\"a\\\""}},
        {L"-Dx=\"1 2\"", {L"-Dx=\"1", L"2\""}},
    };
    for (const ArgumentsCase& c : cases) {
        List out;
        SplitArguments(c.text, out);
        EXPECT_EQ(out, c.expected) << "text \"" << c.text << "\"";
    }
}

TEST(SplitArgumentsTest, AppendsToExistingList) {
    List out{L"first"};
    SplitArguments(L"second third", out);
    EXPECT_EQ(out, (List{L"first", L"second", L"third"}));
}

TEST(SplitArgumentsTest, HugeText) {
    std::wstring text;
    for (int i = 0; i < 12500; ++i) {
        text += L"ab \"c d\" ";
    }
    List out;
    SplitArguments(text, out);
    ASSERT_EQ(out.size(), 25000u);
    EXPECT_EQ(out.front(), L"ab");
    EXPECT_EQ(out.back(), L"c d");

    List spaces;
    SplitArguments(std::wstring(100000, L' '), spaces);
    EXPECT_EQ(spaces, List{L""});
}

}  // namespace
}  // namespace kestran::config
