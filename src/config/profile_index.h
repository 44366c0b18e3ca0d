// Which sections and keys a settings file holds, so that a lookup of a name the file cannot
// hold costs nothing. Each private-profile call reopens the file and checks its time stamp, and
// most of the launcher's keys are absent from a typical file.
#pragma once

#include <string>
#include <vector>

namespace kestran::config {

// False only when `stored` (a section or key name as the file lists it) can never be the name
// `wanted` (ASCII) asks for: blanks around it and ASCII case are ignored, and a stored name with
// any non-ASCII character is taken as a possible match, since the platform's rules for those
// differ between systems.
bool ProfileNameMayMatch(const std::wstring& stored, const std::wstring& wanted);
// How many names of `names` (NUL-separated, as the platform lists them) pass the test.
size_t ProfileNameMatches(const std::wstring& names, const std::wstring& wanted);

}  // namespace kestran::config
