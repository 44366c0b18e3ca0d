// kestran-stamp as a whole: arguments in, files read and written, exit code out.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kestran::stamp {

constexpr int kExitStamped = 0;
constexpr int kExitWriteFailed = 1;  // the output is left as it was, no temporary file either
constexpr int kExitBadInput = 2;     // refused: nothing is written

// `arguments` without the program name, in UTF-8; messages go to `err` (usage to `out`).
int RunStampTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace kestran::stamp
