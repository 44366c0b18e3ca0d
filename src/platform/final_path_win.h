// One spelling for every path of a file (Windows only).
#pragma once

#include <string>

namespace kestran::platform {

// The path the file system itself gives the open file, case-folded as the file system compares
// names: every spelling of it (case, 8.3 names, a mapped drive, "..", a link) ends at the same
// text. The spelled path, made full and folded, when the file cannot be asked.
std::wstring FoldedFinalPath(const std::wstring& path);

}  // namespace kestran::platform
