#include <gtest/gtest.h>

#include "launcher/launch_steps.h"

using kestran::launcher::WideList;

// The Windows C runtime counts U+3000 and U+00A0 as white space; they belong to the argument.
TEST(SplitCommandLine, KeepsNonAsciiWhiteSpaceOfTheLastArgument) {
    WideList out;
    kestran::launcher::SplitCommandLine(L"Tool.exe a\x3000 b\x00A0\x3000", out);
    EXPECT_EQ(out, (WideList{L"a\x3000", L"b\x00A0\x3000"}));
}
