#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "config/messages.h"

using namespace kestran::config;

namespace {

// Restores the thread locale so that tests do not leak their language into each other.
class ThreadLanguage {
public:
    explicit ThreadLanguage(LANGID language) : saved_(GetThreadLocale()) {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    }
    ~ThreadLanguage() { SetThreadLocale(saved_); }

private:
    LCID saved_;
};

std::wstring Load(unsigned id) {
    std::wstring text = L"untouched";
    Messages().LoadMessage(id, text);
    return text;
}

TEST(ResourceMessages, TableInThreeLanguages) {
    struct Case {
        LANGID language;
        unsigned id;
        std::wstring expected;
    } cases[] = {
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 210, L"Main class was not specified in INI file."},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 210, L"Main class in der INI-Datei nicht spezifiziert."},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), 210, L"Classe principale non sp\u00e9cifi\u00e9e dans le fichier INI."},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 228, L"nicht gen\u00fcgend Arbeitsspeicher"},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), 229, L"VM d\u00e9j\u00e0 cr\u00e9\u00e9e"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 202, L"Windows exception: %s (errno = %d).\n"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 207,
         L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (%s) from:"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 230, L"invalid arguments"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 248,
         L"Dieses Programm ist als Windows-Dienst eingerichtet und muss vom Dienststeuerungs-Manager gestartet werden."},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), 248,
         L"Ce programme est configur\u00e9 pour s'ex\u00e9cuter en tant que service Windows et doit \u00eatre "
         L"d\u00e9marr\u00e9 par le gestionnaire de contr\u00f4le des services."},
    };
    for (const Case& c : cases) {
        ThreadLanguage language(c.language);
        EXPECT_EQ(Load(c.id), c.expected) << "id " << c.id << " language " << c.language;
    }
}

TEST(ResourceMessages, EveryIdInEveryLanguageHasTheSamePlaceholders) {
    const LANGID languages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
                                MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)};
    auto placeholders = [](const std::wstring& text) {
        std::wstring found;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == L'%') found.push_back(text[++i]);
        }
        return found;
    };
    std::vector<unsigned> ids = {252, 253, 254, 255, 256};
    for (unsigned id = 202; id <= 230; ++id) ids.push_back(id);
    for (unsigned id : ids) {
        std::wstring english;
        {
            ThreadLanguage language(languages[0]);
            english = Load(id);
        }
        ASSERT_NE(english, L"untouched") << id;
        for (LANGID other : languages) {
            ThreadLanguage language(other);
            EXPECT_EQ(placeholders(Load(id)), placeholders(english)) << "id " << id << " language " << other;
        }
    }
}

TEST(ResourceMessages, MissingIdLeavesTheTextAlone) {
    EXPECT_EQ(Load(201), L"untouched");
    EXPECT_EQ(Load(231), L"untouched");
    EXPECT_EQ(Load(5000), L"untouched");
}

TEST(ResourceMessages, AFourthLanguageFallsBackToATable) {
    ThreadLanguage language(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    EXPECT_NE(Load(210), L"untouched");
}

// The table is chosen by the thread locale alone, whatever the thread's UI language says; a
// region without a table of its own gets English, as the language-neutral lookup did.
TEST(ResourceMessages, ThreadLocaleChoosesEvenWhenTheUiLanguageDiffers) {
    SetThreadUILanguage(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH));
    {
        ThreadLanguage language(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
        EXPECT_EQ(Load(228), L"nicht gen\u00fcgend Arbeitsspeicher");
    }
    {
        ThreadLanguage language(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_AUSTRIAN));
        EXPECT_EQ(Load(228), L"not enough memory");
    }
    SetThreadUILanguage(0);
}

TEST(ToAnsi, UsesTheThreadCodePageAndReplacesUnmappableCharacters) {
    ThreadLanguage language(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));  // code page 1252
    EXPECT_EQ(ToAnsi(L"\u00e4\u00f6\u00fc"), "\xE4\xF6\xFC");
    EXPECT_EQ(ToAnsi(L""), "");
    EXPECT_FALSE(LosesCharactersInAnsi(L"-Dname=\u00e4"));
    EXPECT_TRUE(LosesCharactersInAnsi(L"-Dname=\u0416"));
    EXPECT_EQ(FromAnsi("\xE4"), L"\u00e4");
    EXPECT_EQ(ToAnsi(L"a\u0416b").size(), 3u);  // one replacement character, nothing dropped
    EXPECT_EQ(ToAnsi(L"\u0141"), "?");          // no best fit: not the L of another user's folder
    struct Case {
        std::wstring text;
        bool exact;
        size_t firstLost;
    } cases[] = {
        {L"-Dcity=K\u00f8benhavn", true, 0},
        {L"C:\\Users\\\u0141ukasz", false, 9},
        {L"a\xD83D\xDE00", false, 1},  // a pair is one character
        {L"ab\xD800c", false, 2},       // a lone surrogate has no form anywhere
    };
    for (const Case& c : cases) {
        std::string out;
        size_t lost = 99;
        EXPECT_EQ(ToAnsiExact(c.text, out, lost), c.exact) << testing::PrintToString(c.text);
        if (!c.exact) EXPECT_EQ(lost, c.firstLost) << testing::PrintToString(c.text);
    }
}

}  // namespace
