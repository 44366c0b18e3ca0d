#include "config/ini_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestran::config {
namespace {

using Names = std::vector<std::wstring>;

const wchar_t* const kMissing = L"<missing>";

std::wstring Lookup(const IniDocument& doc, const std::wstring& section, const std::wstring& key) {
    std::wstring out = kMissing;
    doc.getValue(section, key, out);
    return out;
}

Names SectionNames(const IniDocument& doc) {
    Names names;
    doc.sectionNames(names);
    return names;
}

struct LookupCase {
    const wchar_t* description;
    std::wstring text;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* expected;  // kMissing when the lookup must leave `out` alone
};

TEST(IniDocumentTest, ParseAndLookupTable) {
    const LookupCase cases[] = {
        {L"plain entry", L"[A]\r\nk=v", L"A", L"k", L"v"},
        {L"missing key", L"[A]\r\nk=v", L"A", L"j", kMissing},
        {L"missing section", L"[A]\r\nk=v", L"B", L"k", kMissing},
        {L"names ignore ASCII case", L"[Java Runtime]\r\nk=v", L"java RUNTIME", L"k", L"v"},
        {L"keys ignore ASCII case", L"[A]\r\nmain class=v", L"A", L"Main Class", L"v"},
        {L"other case differences count", L"[\x00C4]\r\nk=v", L"\x00E4", L"k", kMissing},
        {L"bare line feed ends a line", L"[A]\r\nx=1\ny=2", L"A", L"y", L"2"},
        {L"line feed only", L"[A]\nk=v\n", L"A", L"k", L"v"},
        {L"comment after a header", L"[A] ; note]\r\n[B]\t;x\r\nk=v", L"B", L"k", L"v"},
        {L"header keeps inner spaces", L"[ A ]\r\nk=v", L" A ", L"k", L"v"},
        {L"spaced header is not A", L"[ A ]\r\nk=v", L"A", L"k", kMissing},
        {L"keys under a second [A] are never found", L"[A]\r\nk=1\r\n[A]\r\nj=2", L"A", L"j", kMissing},
        {L"first duplicate key wins", L"[A]\r\nk=1\r\nk=2", L"A", L"k", L"1"},
        {L"first duplicate section wins", L"[A]\r\nk=1\r\n[A]\r\nk=2", L"A", L"k", L"1"},
        {L"leading BOM dropped", L"\uFEFF[A]\r\nk=v", L"A", L"k", L"v"},
        {L"BOM on a later line is text", L"[A]\r\n\uFEFFk=v", L"A", L"\uFEFFk", L"v"},
        {L"no comment syntax", L"[A]\r\n;x=1", L"A", L";x", L"1"},
        {L"hash is no comment either", L"[A]\r\n# x = 1", L"A", L"# x", L"1"},
        {L"key and value trimmed", L"[A]\r\n  key \t=  some value \t", L"A", L"key", L"some value"},
        {L"split at first equals sign", L"[A]\r\nk = a = b", L"A", L"k", L"a = b"},
        {L"empty value", L"[A]\r\nk=", L"A", L"k", L""},
        {L"empty key", L"[A]\r\n=v", L"A", L"", L"v"},
        {L"trailing carriage return trimmed", L"[A]\r\nk=v\r", L"A", L"k", L"v"},
        {L"lines before the first header ignored", L"k=v\r\n[A]\r\nj=w", L"", L"k", kMissing},
        {L"line without equals ignored", L"[A]\r\nk\r\nj=w", L"A", L"k", kMissing},
        {L"header with leading and trailing blanks", L"  \t[A] \t \r\nk=v", L"A", L"k", L"v"},
        {L"header after control characters", L"\x01\x1f[A]\r\nk=v", L"A", L"k", L"v"},
        {L"text after ] makes no header", L"[A]\r\nk=1\r\n[B] x=2", L"A", L"[B] x", L"2"},
        {L"name runs to the last bracket", L"[A]]\r\nk=v", L"A]", L"k", L"v"},
        {L"name starts after the first bracket", L"[[A]\r\nk=v", L"[A", L"k", L"v"},
        {L"empty name", L"[]\r\nk=v", L"", L"k", L"v"},
        {L"lone [ is no header", L"[A]\r\n[=v", L"A", L"[", L"v"},
        {L"empty lines between entries", L"\r\n\r\n[A]\r\n\r\n   \r\nk=v\r\n\r\n", L"A", L"k", L"v"},
        {L"later section", L"[A]\r\nk=1\r\n[B]\r\nk=2", L"B", L"k", L"2"},
    };
    for (const LookupCase& c : cases) {
        IniDocument doc;
        doc.parse(c.text);
        EXPECT_EQ(Lookup(doc, c.section, c.key), c.expected) << c.description;
    }
}

TEST(IniDocumentTest, SectionNamesInFileOrderWithDuplicates) {
    IniDocument doc;
    doc.parse(L"[B]\r\n[A]\r\nk=v\r\n[ A ]\r\n[A]\r\n[]");
    EXPECT_EQ(SectionNames(doc), (Names{L"B", L"A", L" A ", L"A", L""}));

    Names names{L"stale"};
    IniDocument empty;
    empty.sectionNames(names);
    EXPECT_TRUE(names.empty());
}

TEST(IniDocumentTest, TextWithoutCarriageReturnsHasItsSections) {
    IniDocument doc;
    doc.parse(L"[A]\nk=v\n[B]\nj=w\n");
    EXPECT_EQ(SectionNames(doc), (Names{L"A", L"B"}));
}

TEST(IniDocumentTest, EntriesKeepOrderAndDuplicates) {
    IniDocument doc;
    doc.parse(L"[A]\r\nk=1\r\nj=2\r\nk=3");
    ASSERT_EQ(doc.sections().size(), 1u);
    const auto& entries = doc.sections()[0].entries;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, L"k");
    EXPECT_EQ(entries[1].key, L"j");
    EXPECT_EQ(entries[2].value, L"3");
}

TEST(IniDocumentTest, ParseReplacesContent) {
    IniDocument doc;
    doc.parse(L"[A]\r\nk=1");
    doc.parse(L"[B]\r\nk=2");
    EXPECT_EQ(Lookup(doc, L"A", L"k"), kMissing);
    EXPECT_EQ(Lookup(doc, L"B", L"k"), L"2");
    doc.parse(L"");
    EXPECT_TRUE(doc.sections().empty());
}

TEST(IniDocumentTest, SetValue) {
    IniDocument doc;
    doc.setValue(L"A", L"k", L"1");
    EXPECT_EQ(Lookup(doc, L"A", L"k"), L"1");

    // An existing key gets a second record; the first one still answers lookups.
    doc.setValue(L"A", L"k", L"2");
    ASSERT_EQ(doc.sections().size(), 1u);
    EXPECT_EQ(doc.sections()[0].entries.size(), 2u);
    EXPECT_EQ(Lookup(doc, L"A", L"k"), L"1");

    // Values are stored as given, not trimmed.
    doc.setValue(L"B", L" j ", L" v ");
    EXPECT_EQ(Lookup(doc, L"B", L" j "), L" v ");
    EXPECT_EQ(SectionNames(doc), (Names{L"A", L"B"}));
}

TEST(IniDocumentTest, SetValueGoesToFirstOfDuplicateSections) {
    IniDocument doc;
    doc.parse(L"[A]\r\nk=1\r\n[A]\r\nk=2");
    doc.setValue(L"A", L"j", L"3");
    EXPECT_EQ(Lookup(doc, L"A", L"j"), L"3");
    EXPECT_EQ(doc.sections()[0].entries.size(), 2u);
    EXPECT_EQ(doc.sections()[1].entries.size(), 1u);
}

TEST(IniDocumentTest, HugeTexts) {
    IniDocument doc;

    const std::wstring longValue(100000, L'x');
    doc.parse(L"[A]\r\nk=" + longValue);
    EXPECT_EQ(Lookup(doc, L"A", L"k"), longValue);

    std::wstring manyLines = L"[A]\r\n";
    for (int i = 0; i < 20000; ++i) {
        manyLines += L"k" + std::to_wstring(i) + L"=v\r\n";
    }
    doc.parse(manyLines);
    EXPECT_EQ(Lookup(doc, L"A", L"k19999"), L"v");

    std::wstring manyHeaders;
    for (int i = 0; i < 25000; ++i) {
        manyHeaders += L"[S]\r\n";
    }
    doc.parse(manyHeaders);
    EXPECT_EQ(doc.sections().size(), 25000u);

    doc.parse(std::wstring(100000, L'['));
    EXPECT_TRUE(doc.sections().empty());
    doc.parse(L"[" + std::wstring(100000, L' ') + L"]");
    ASSERT_EQ(doc.sections().size(), 1u);
    EXPECT_EQ(doc.sections()[0].name.size(), 100000u);
    doc.parse(std::wstring(100000, L'\n'));
    EXPECT_TRUE(doc.sections().empty());
    doc.parse(std::wstring(100000, L'='));
    EXPECT_TRUE(doc.sections().empty());
}

}  // namespace
}  // namespace kestran::config
