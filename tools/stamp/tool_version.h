// `kestran-stamp --version` on its own: the tool's version, which is that of the launcher it
// is released with (the same project version), so a build log shows which pair it used.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "kestran_version.h"
#include "stamp_tool.h"

namespace kestran::stamp {

// Exactly "--version": "--version 1.2.3.4" is the stamping option and is left to the stamping.
inline bool IsToolVersionRequest(const std::vector<std::string>& arguments) {
    return arguments.size() == 1 && arguments[0] == "--version";
}

// Writes "kestran-stamp <version>"; the exit code, kExitWriteFailed when `out` refuses the line.
inline int PrintToolVersion(std::ostream& out) {
    out << "kestran-stamp " KESTRAN_VERSION_TEXT "\n" << std::flush;
    return out ? kExitStamped : kExitWriteFailed;
}

}  // namespace kestran::stamp
