// Edits of the application manifest as text, keeping every other setting as it is written.
#pragma once

#include <string>

namespace kestran::stamp {

// `level` is asInvoker, highestAvailable or requireAdministrator (checked by the caller).
// Replaces the level of requestedExecutionLevel, or adds a trustInfo block when there is none.
std::string SetExecutionLevel(const std::string& manifest, const std::string& level);
// Sets activeCodePage to UTF-8 in the windowsSettings (adding what is missing).
std::string SetUtf8CodePage(const std::string& manifest);
// Sets the name of the manifest's own assemblyIdentity (the first one, before any dependency) and,
// unless `version` is empty, its version; both must be valid attribute text (checked by the caller).
std::string SetAssemblyIdentity(const std::string& manifest, const std::string& name, const std::string& version);
// Sets the description after the own assemblyIdentity to the UTF-8 `text` (escaped for XML; control
// characters XML cannot carry become spaces), or removes it when `text` is empty.
std::string SetDescription(const std::string& manifest, const std::string& text);

}  // namespace kestran::stamp
