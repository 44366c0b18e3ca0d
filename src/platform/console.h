// Writing text lines to the standard streams so that every character survives: wide console
// output on a console; otherwise the console's (or the ANSI) code page with replacement,
// "\n" written as "\r\n" like the C runtime's text mode.
#pragma once

#include <string>

namespace kestran::platform {

void WriteStandardOutput(const std::wstring& text);
void WriteStandardError(const std::wstring& text);

}  // namespace kestran::platform
