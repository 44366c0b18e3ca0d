// `kestran-stamp --version` on its own: the tool's version, which is that of the launcher it
// is released with (the same project version), so a build log shows which pair it used.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "kestran_version.h"

namespace kestran::stamp {

// True, with the version line written to `out`, when `arguments` is exactly "--version";
// "--version 1.2.3.4" is the stamping option and is left to the stamping.
inline bool PrintToolVersion(const std::vector<std::string>& arguments, std::ostream& out) {
    if (arguments.size() != 1 || arguments[0] != "--version") return false;
    out << "kestran-stamp " KESTRAN_VERSION_TEXT "\n";
    return true;
}

}  // namespace kestran::stamp
