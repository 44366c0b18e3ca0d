// The folder that "Override WorkingDir" makes the working directory.
#pragma once

#include <string>

namespace kestran::launcher {

// The module path's folder: the text before its last backslash, with the backslash kept for a
// drive's root ("C:\"). False when there is no backslash or it is the first character.
bool WorkingDirectoryFor(const std::wstring& modulePath, std::wstring& out);

}  // namespace kestran::launcher
