#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/class_path.h"

namespace kestran::runtime {
namespace {

TEST(ClassPath, ClassifiesItems) {
    struct Case {
        const wchar_t* item;
        bool absolute;
        bool search;
    };
    const Case cases[] = {
        {L"C:\\shared\\x.jar", true, false},
        {L"C:x.jar", true, false},              // ':' second is enough
        {L"C:", true, false},
        {L"\\\\server\\share\\x.jar", true, false},
        {L"\\\\server\\share\\*.jar", true, true},
        {L"C:\\lib\\*.jar", true, true},
        {L"\\lib\\a.jar", false, true},         // one backslash: relative
        {L"lib\\*.jar", false, true},
        {L"app.jar", false, true},
        {L"a", false, true},                    // fewer than 2 characters
        {L"", false, true},
        {L" C:\\x.jar", false, true},           // a leading space is part of the name
        {L"/usr/x.jar", false, true},
    };
    for (const Case& c : cases) {
        std::wstring item = c.item;
        EXPECT_EQ(IsClassPathItemAbsolute(item), c.absolute) << testing::PrintToString(item);
        EXPECT_EQ(ClassPathItemNeedsSearch(item), c.search) << testing::PrintToString(item);
    }
}

TEST(ClassPath, WildcardsKeepOnlyFilesWhoseOwnNameMatches) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* name;
        bool isDirectory;
        bool kept;
    };
    const Case cases[] = {
        {L"C:\\app\\lib\\*.jar", L"a.jar", false, true},
        {L"C:\\app\\lib\\*.jar", L"B.JAR", false, true},          // without regard to case
        {L"C:\\app\\lib\\*.JAR", L"b.jar", false, true},
        {L"C:\\app\\lib\\*.jar", L"old.jar_bak", false, false},   // matched through OLD~1.JAR
        {L"C:\\app\\lib\\*.jar", L"classes.jar", true, false},    // a folder
        {L"C:\\app\\*", L"..", true, false},
        {L"C:\\app\\lib\\*.*", L"README", false, true},           // as on Windows
        {L"C:\\app\\lib\\a?.jar", L"ab.jar", false, true},
        {L"C:\\app\\lib\\a?.jar", L"a.jar", false, false},
        {L"C:\\app\\lib/*a*b", L"xaab", false, true},
        {L"C:*.jar", L"x.jar", false, true},
        {L"C:\\app\\classes", L"classes", true, true},              // no wildcard: what it names
        {L"C:\\app\\APP~1.JAR", L"application.jar", false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeepsWildcardMatch(c.pattern, c.name, c.isDirectory), c.kept)
            << testing::PrintToString(std::wstring(c.pattern)) << " " << testing::PrintToString(std::wstring(c.name));
    }
}

TEST(ClassPath, FormsPatternsAndPrefixes) {
    struct Case {
        const wchar_t* item;
        const wchar_t* pattern;
        const wchar_t* prefix;
    };
    const Case cases[] = {
        {L"lib\\*.jar", L"C:\\app\\lib\\*.jar", L"C:\\app\\lib\\"},
        {L"app.jar", L"C:\\app\\app.jar", L"C:\\app\\"},
        {L"\\lib\\a.jar", L"C:\\app\\\\lib\\a.jar", L"C:\\app\\\\lib\\"},
        {L"lib/*.jar", L"C:\\app\\lib/*.jar", L"C:\\app\\lib/"},  // '/' separates as well
        {L"\\\\server\\share\\*.jar", L"\\\\server\\share\\*.jar", L"\\\\server\\share\\"},
        {L"C:*.jar", L"C:*.jar", L"C:"},
        {L"*", L"C:\\app\\*", L"C:\\app\\"},
    };
    for (const Case& c : cases) {
        std::wstring pattern = ClassPathSearchPattern(c.item, L"C:\\app");
        EXPECT_EQ(pattern, c.pattern) << testing::PrintToString(std::wstring(c.item));
        EXPECT_EQ(ClassPathMatchPrefix(pattern), c.prefix) << testing::PrintToString(pattern);
    }
    EXPECT_EQ(ClassPathMatchPrefix(L"*.jar"), L"");
}

TEST(ClassPath, ExpandsMatchesInListerOrder) {
    std::map<std::wstring, std::vector<std::wstring>> disk = {
        {L"C:\\app\\lib\\*.jar", {L"b.jar", L"a.jar", L"c.jar"}},
        {L"C:\\app\\app.jar", {L"app.jar"}},
        {L"C:\\app\\*", {L".", L"..", L"lib", L"Tool.exe"}},
    };
    std::vector<std::wstring> asked;
    MatchLister lister = [&](const std::wstring& pattern, std::vector<std::wstring>& names) {
        asked.push_back(pattern);
        auto found = disk.find(pattern);
        if (found != disk.end()) names = found->second;
    };
    struct Case {
        const wchar_t* item;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"lib\\*.jar", L"x;C:\\app\\lib\\b.jar;C:\\app\\lib\\a.jar;C:\\app\\lib\\c.jar"},
        {L"app.jar", L"x;C:\\app\\app.jar"},
        {L"missing.jar", L"x"},                     // vanishes without a message
        {L"lib\\*.zip", L"x"},
        {L"*", L"x;C:\\app\\.;C:\\app\\..;C:\\app\\lib;C:\\app\\Tool.exe"},  // every name counts
    };
    for (const Case& c : cases) {
        std::wstring classPath = L"x";
        ExpandClassPathEntry(c.item, L"C:\\app", lister, classPath);
        EXPECT_EQ(classPath, c.expected) << testing::PrintToString(std::wstring(c.item));
    }
    EXPECT_EQ(asked.size(), 5u);
}

}  // namespace
}  // namespace kestran::runtime
