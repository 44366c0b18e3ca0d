#include "config/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestran::config {
namespace {

using List = std::vector<std::wstring>;

// A path of exactly `length` characters under `start`.
std::wstring PathOfLength(const std::wstring& start, size_t length) {
    std::wstring path = start;
    while (path.size() < length) {
        path += (path.size() % 10 == 9) ? L'\\' : L'd';
    }
    path.resize(length, L'f');
    return path;
}

TEST(PathsTest, LongPathPrefix) {
    const std::wstring local259 = PathOfLength(L"C:\\", 259);
    const std::wstring local260 = PathOfLength(L"C:\\", 260);
    const std::wstring local300 = PathOfLength(L"C:\\", 300);
    const std::wstring unc259 = PathOfLength(L"\\\\server\\share\\", 259);
    const std::wstring unc300 = PathOfLength(L"\\\\server\\share\\", 300);
    const std::wstring prefixed300 = L"\\\\?\\" + PathOfLength(L"C:\\", 296);
    const std::wstring prefixedUnc300 = L"\\\\?\\UNC\\" + PathOfLength(L"server\\share\\", 292);
    const std::wstring huge = PathOfLength(L"C:\\", 40000);

    const struct {
        const char* name;
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {"short local", L"C:\\a\\b.txt", L"C:\\a\\b.txt"},
        {"empty", L"", L""},
        {"local 259", local259, local259},
        {"local 260", local260, L"\\\\?\\" + local260},
        {"local 300", local300, L"\\\\?\\" + local300},
        {"unc 259", unc259, unc259},
        {"unc 300", unc300, L"\\\\?\\UNC\\" + unc300.substr(2)},
        {"already prefixed", prefixed300, prefixed300},
        {"already prefixed unc", prefixedUnc300, prefixedUnc300},
        {"beyond the long limit is the caller's to refuse", huge, L"\\\\?\\" + huge},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithLongPathPrefix(c.path), c.expected) << c.name;
    }
    EXPECT_EQ(WithLongPathPrefix(unc300).substr(0, 16), L"\\\\?\\UNC\\server\\s");
}

TEST(PathsTest, SplitPathComponentsTable) {
    const struct {
        const wchar_t* path;
        List expected;
    } cases[] = {
        {L"C:\\a\\b\\c.txt", {L"C:", L"a", L"b", L"c.txt"}},
        {L"C:\\", {L"C:"}},
        {L"C:", {L"C:"}},
        {L"C:\\a\\", {L"C:", L"a"}},
        {L"C:\\a\\\\b", {L"C:", L"a", L"", L"b"}},
        {L"\\\\server\\share\\dir\\f.txt", {L"\\\\server", L"share", L"dir", L"f.txt"}},
        {L"\\\\server", {L"\\\\server"}},
        {L"\\\\server\\share", {L"\\\\server", L"share"}},
        {L"\\\\?\\C:\\a\\b", {L"\\\\?\\C:", L"a", L"b"}},
        {L"\\\\?\\C:", {L"\\\\?\\C:"}},
        {L"\\\\?\\UNC\\server\\share\\f", {L"\\\\?\\UNC\\server", L"share", L"f"}},
        {L"\\\\?\\UNC\\server", {L"\\\\?\\UNC\\server"}},
        {L"out\\log.txt", {L"out", L"log.txt"}},
        {L"log.txt", {L"log.txt"}},
        {L"\\java\\x", {L"", L"java", L"x"}},
        {L"C:/a/b", {L"C:/a/b"}},
        {L"", {L""}},
    };
    for (const auto& c : cases) {
        List out{L"stale"};
        SplitPathComponents(c.path, out);
        EXPECT_EQ(out, c.expected) << "path \"" << c.path << "\"";
    }
}

TEST(PathsTest, ComponentsRejoinToThePath) {
    const wchar_t* paths[] = {
        L"C:\\a\\b\\c.txt", L"\\\\server\\share\\f", L"\\\\?\\C:\\x\\y", L"\\\\?\\UNC\\srv\\share\\z", L"rel\\a\\b",
    };
    for (const wchar_t* path : paths) {
        List parts;
        SplitPathComponents(path, parts);
        ASSERT_FALSE(parts.empty());
        std::wstring joined = parts[0];
        for (size_t i = 1; i < parts.size(); ++i) {
            joined += L"\\" + parts[i];
        }
        EXPECT_EQ(joined, path);
    }
}

TEST(PathsTest, SplitHugePath) {
    std::wstring path = L"C:";
    for (int i = 0; i < 20000; ++i) {
        path += L"\\abcd";
    }
    List out;
    SplitPathComponents(path, out);
    ASSERT_EQ(out.size(), 20001u);
    EXPECT_EQ(out.front(), L"C:");
    EXPECT_EQ(out.back(), L"abcd");

    SplitPathComponents(std::wstring(100000, L'\\'), out);
    EXPECT_EQ(out.size(), 99998u);
    EXPECT_EQ(out.front(), L"\\\\");
}

TEST(PathsTest, IsAbsolutePathTable) {
    const struct {
        const wchar_t* path;
        bool expected;
    } cases[] = {
        {L"C:\\a", true}, {L"C:", true},          {L"\\\\server\\share", true}, {L"\\\\", true},
        {L"\\\\?\\C:\\x", true}, {L"\\java", false}, {L"jre", false},         {L"C", false},
        {L"", false},     {L"%JAVA_HOME%\\jre", false}, {L"C:relative", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAbsolutePath(c.path), c.expected) << "path \"" << c.path << "\"";
    }
}

// A prefixed network path taken for a local one stops the folder walk at the share.
TEST(PathsTest, IsUncPathTable) {
    const std::pair<const wchar_t*, bool> cases[] = {{L"\\\\server\\share", true}, {L"\\\\?\\UNC\\server\\s", true},
                                                     {L"\\\\?\\C:\\x", false},         {L"C:\\a", false},
                                                     {L"\\java", false}};
    for (const auto& c : cases) EXPECT_EQ(IsUncPath(c.first), c.second) << "path \"" << c.first << "\"";
}

TEST(PathsTest, FolderAndFileNameTable) {
    const struct {
        const wchar_t* path;
        const wchar_t* folder;
        const wchar_t* file;
    } cases[] = {
        {L"C:\\App\\Tool.exe", L"C:\\App", L"Tool.exe"},
        {L"C:\\Tool.exe", L"C:", L"Tool.exe"},
        {L"Tool.exe", L"Tool.exe", L"Tool.exe"},
        {L"C:\\App\\", L"C:\\App", L""},
        {L"\\\\server\\share\\x.jar", L"\\\\server\\share", L"x.jar"},
        {L"C:/App/Tool.exe", L"C:/App/Tool.exe", L"C:/App/Tool.exe"},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.path), c.folder) << "path \"" << c.path << "\"";
        EXPECT_EQ(FileNameOf(c.path), c.file) << "path \"" << c.path << "\"";
    }
}

TEST(PathsTest, ReplaceExtensionTable) {
    const struct {
        const wchar_t* path;
        bool ok;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Apps\\Tool.exe", true, L"C:\\Apps\\Tool.ini"},
        {L"C:\\my.dir\\tool", true, L"C:\\my.ini"},
        {L"C:\\Apps\\tool.tar.exe", true, L"C:\\Apps\\tool.tar.ini"},
        {L"C:\\Apps\\tool.", true, L"C:\\Apps\\tool.ini"},
        {L"C:\\Apps\\tool", false, L"<untouched>"},
        {L"", false, L"<untouched>"},
    };
    for (const auto& c : cases) {
        std::wstring out = L"<untouched>";
        EXPECT_EQ(ReplaceExtension(c.path, L"ini", out), c.ok) << "path \"" << c.path << "\"";
        EXPECT_EQ(out, c.expected) << "path \"" << c.path << "\"";
    }
}

}  // namespace
}  // namespace kestran::config
