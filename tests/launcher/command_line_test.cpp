#include <gtest/gtest.h>

#include "launcher/launch_steps.h"

using kestran::launcher::SplitCommandLine;
using kestran::launcher::WideList;

TEST(SplitCommandLine, JavaArgumentsFollowTheProgramPath) {
    struct Case {
        std::wstring commandLine;
        WideList expected;
    } cases[] = {
        {L"\"C:\\App\\Tool.exe\" \"a b\"  c  \"\"", {L"a b", L"c", L""}},
        {L"Tool.exe", {}},
        {L"\"C:\\Program Files\\Tool.exe\"", {}},
        {L"  Tool.exe report.txt  \t", {L"report.txt"}},
        {L"Tool.exe a\tb", {L"a\tb"}},  // tabs do not separate
        {L"Tool.exe \"unterminated arg", {L"unterminated arg"}},
        {L"Tool.exe \"\xD83D\xDE00\" \x0416\x0443\x043A", {L"\xD83D\xDE00", L"\x0416\x0443\x043A"}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        WideList out{L"stale"};
        SplitCommandLine(c.commandLine, out);
        EXPECT_EQ(out, c.expected) << std::string(c.commandLine.begin(), c.commandLine.end());
    }
}
