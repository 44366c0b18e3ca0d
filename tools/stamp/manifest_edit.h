// Edits of the application manifest as text, keeping every other setting as it is written.
#pragma once

#include <string>

namespace kestran::stamp {

// `level` is asInvoker, highestAvailable or requireAdministrator (checked by the caller).
// Replaces the level of requestedExecutionLevel, or adds a trustInfo block when there is none.
std::string SetExecutionLevel(const std::string& manifest, const std::string& level);
// Sets activeCodePage to UTF-8 in the windowsSettings (adding what is missing).
std::string SetUtf8CodePage(const std::string& manifest);

}  // namespace kestran::stamp
