#include <gtest/gtest.h>

#include <map>
#include <string>

#include "runtime/option_narrowing.h"

namespace kestran::runtime {
namespace {

// A code page of the first 256 characters, and a file system with the short names listed.
class Latin1Narrowing : public TextNarrowing {
public:
    bool Narrow(const std::wstring& text, std::string& out, size_t& firstLost) const override {
        out.clear();
        for (size_t i = 0; i < text.size(); ++i) {
            if (static_cast<unsigned long>(text[i]) > 0xFF) {
                firstLost = i;
                return false;
            }
            out.push_back(static_cast<char>(text[i]));
        }
        return true;
    }
    bool ShortForm(const std::wstring& path, std::wstring& out) const override {
        auto found = shortNames.find(path);
        if (found == shortNames.end()) return false;
        out = found->second;
        return true;
    }
    std::map<std::wstring, std::wstring> shortNames;
};

TEST(OptionNarrowing, OptionsReachTheVmUnchangedByShortNamesOrNotAtAll) {
    Latin1Narrowing codec;
    codec.shortNames = {{L"C:\\\u0141ukasz\\a.jar", L"C:\\LUKASZ~1\\a.jar"},
                        {L"C:\\\u0141ukasz", L"C:\\LUKASZ~1"},
                        {L"C:\\\u0416", L"C:\\\u0416~1"}};
    struct Case {
        std::wstring option;
        const char* narrowed;  // null: refused
        std::wstring lost;
    } cases[] = {
        {L"-Dcity=K\u00f8benhavn", "-Dcity=K\xf8" "benhavn", L""},
        // Only the item that needs it takes its short name; the rest stays as written.
        {L"-Djava.class.path=C:\\\u0141ukasz\\a.jar;C:\\x.jar;", "-Djava.class.path=C:\\LUKASZ~1\\a.jar;C:\\x.jar;", L""},
        {L"-Dhome=C:\\\u0141ukasz", "-Dhome=C:\\LUKASZ~1", L""},
        {L"-Djava.class.path=C:\\\u0141ukasz\\a.jar;C:\\\u0418\u0432\u0430\u043d\\b.jar;", nullptr, L"\u0418"},
        {L"-Dname=\u0141ukasz", nullptr, L"\u0141"},            // no such file: no short name
        {L"-X\u0141", nullptr, L"\u0141"},                      // not a -D option
        {L"-Dp=C:\\\u0416", nullptr, L"\u0416"},                // its short name loses it too
        {L"-D=C:\\\u0141ukasz", nullptr, L"\u0141"},            // no property name
    };
    for (const Case& c : cases) {
        std::string out;
        std::wstring lost;
        const bool narrowed = NarrowVmOption(c.option, codec, out, lost);
        EXPECT_EQ(narrowed, c.narrowed != nullptr) << testing::PrintToString(c.option);
        if (c.narrowed) EXPECT_EQ(out, c.narrowed) << testing::PrintToString(c.option);
        if (!c.narrowed) EXPECT_EQ(lost, c.lost) << testing::PrintToString(c.option);
    }
    EXPECT_EQ(OptionName(L"-Djava.class.path=C:\\x"), L"-Djava.class.path");
    EXPECT_EQ(OptionName(L"-X\u0141"), L"-X\u0141");
    EXPECT_EQ(DescribeCharacter(L"\u0141"), L"\u0141 (U+0141)");
    EXPECT_EQ(DescribeCharacter(sizeof(wchar_t) == 2 ? std::wstring(L"\xD83D\xDE00") : std::wstring(1, wchar_t(0x1F600))),
              (sizeof(wchar_t) == 2 ? std::wstring(L"\xD83D\xDE00") : std::wstring(1, wchar_t(0x1F600))) + L" (U+1F600)");
}

TEST(OptionNarrowing, VmLibraryPathTakesItsShortNameOnlyWhereThatMendsIt) {
    const std::wstring longFolder = L"C:\\" + std::wstring(280, L'x');
    const std::wstring longAscii = longFolder + L"\\bin\\server\\jvm.dll";
    const std::wstring longCyrillic = longFolder + L"\u0416\\bin\\server\\jvm.dll";
    Latin1Narrowing codec;
    codec.shortNames = {{longAscii, L"C:\\XXXXXX~1\\bin\\server\\jvm.dll"},
                        {L"C:\\\u0416\\bin\\server\\jvm.dll", L"C:\\9A2B~1\\bin\\server\\jvm.dll"},
                        {L"C:\\rt\\bin\\server\\jvm.dll", L"C:\\RT\\bin\\server\\jvm.dll"},
                        {longCyrillic, L"C:\\\u0416~1\\bin\\server\\jvm.dll"}};
    struct Case {
        std::wstring path;
        std::wstring expected;
    } cases[] = {
        {longAscii, L"C:\\XXXXXX~1\\bin\\server\\jvm.dll"},              // beyond 260: the short form fits
        {L"C:\\\u0416\\bin\\server\\jvm.dll", L"C:\\9A2B~1\\bin\\server\\jvm.dll"},  // outside the code page
        {L"C:\\rt\\bin\\server\\jvm.dll", L"C:\\rt\\bin\\server\\jvm.dll"},  // nothing to mend
        {longFolder + L"\\jvm.dll", longFolder + L"\\jvm.dll"},           // no short form: as it is
        {longCyrillic, L"C:\\\u0416~1\\bin\\server\\jvm.dll"},             // shorter, still lossy: better
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadableVmLibraryPath(c.path, codec), c.expected) << testing::PrintToString(c.path.substr(0, 40));
    }
}

}  // namespace
}  // namespace kestran::runtime
