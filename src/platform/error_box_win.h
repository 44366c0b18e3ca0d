// The one message box of a failed launch in the windowed executable.
#pragma once

#include <string>

namespace kestran::platform {

// Shows `text` in an error message box titled `title` and waits until it is closed. False
// without showing anything when user32 is missing or the process has no visible window
// station (a service, a non-interactive session), where a box would wait for ever.
bool ShowErrorBox(const std::wstring& title, const std::wstring& text);

}  // namespace kestran::platform
