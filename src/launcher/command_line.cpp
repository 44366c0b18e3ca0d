#include <cwctype>

#include "config/split.h"
#include "launcher/launch_steps.h"

namespace kestran::launcher {

void SplitCommandLine(const std::wstring& commandLine, WideList& out) {
    size_t first = 0;
    size_t last = commandLine.size();
    while (first < last && std::iswspace(commandLine[first])) ++first;
    while (last > first && std::iswspace(commandLine[last - 1])) --last;

    WideList all;
    config::SplitArguments(commandLine.substr(first, last - first), all);
    out.clear();
    if (all.size() > 1) out.assign(all.begin() + 1, all.end());
}

}  // namespace kestran::launcher
