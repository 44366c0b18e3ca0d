#include <gtest/gtest.h>

#include <string>

#include "platform/kept_text.h"

using kestran::platform::KeptText;

// Faults: a bound that grows with the text, a summary that loses the first line or the last
// (the one that says what failed), a wrong count of what was left out, a line cut in two at a
// piece's end, a line left open that swallows the launcher's next line.
TEST(KeptText, KeepsTheFirstAndLastLinesWithinItsBound) {
    struct Case {
        const char* name;
        std::wstring pieces[3];
        bool endLine;
        std::wstring all, summary;
    } cases[] = {
        {"pieces of a line", {L"Unre", L"c\r\nEr", L": x"}, false, L"Unrec\nEr: x\n", L"Unrec\nEr: x\n"},
        {"open line ended", {L"vm says", L"", L""}, true, L"vm says\n", L"vm says\n"},
        {"dropped between head and tail", {L"a\nb\nc\n", L"d\ne\nf\n", L"g\n"}, false,
         L"a\nb\n(1 more lines)\nd\ne\nf\ng\n", L"a\n(5 more lines)\ng\n"},
        {"long line cut", {L"0123456789\n", L"", L""}, false, L"01234567\n", L"01234567\n"},
    };
    for (const Case& c : cases) {
        KeptText kept(2, 8);
        for (const std::wstring& piece : c.pieces) kept.Append(piece);
        if (c.endLine) kept.EndLine();
        EXPECT_EQ(kept.All(), c.all) << c.name;
        EXPECT_EQ(kept.Summary(1, 1, 8), c.summary) << c.name;
    }
}
