#include "config/split.h"
#include "launcher/launch_steps.h"

namespace kestran::launcher {
namespace {

// Only ASCII white space is trimmed: iswspace also takes U+00A0 and U+3000, which belong to
// an argument (the splitter itself separates at spaces only).
bool IsAsciiSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

void SplitCommandLine(const std::wstring& commandLine, WideList& out) {
    size_t first = 0;
    size_t last = commandLine.size();
    while (first < last && IsAsciiSpace(commandLine[first])) ++first;
    while (last > first && IsAsciiSpace(commandLine[last - 1])) --last;

    WideList all;
    config::SplitArguments(commandLine.substr(first, last - first), all);
    out.clear();
    if (all.size() > 1) out.assign(all.begin() + 1, all.end());
}

}  // namespace kestran::launcher
