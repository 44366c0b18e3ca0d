// Error events in the Application log of Windows, for a launch that runs as a service.
#pragma once

#include <string>

namespace kestran::platform {

// The id of every event the launcher reports: entry 1 of the executable's message table, "%1",
// so that Event Viewer shows the text as it was reported.
constexpr unsigned long kLauncherEventId = 1;

// Reports `text` as one error event under `source`. Before the first event of a process the
// source is registered with the executable as its message file, when it is not registered yet
// and the process may write the key (a service running as LocalSystem may). False, traced,
// when advapi32 or the event log refused.
bool ReportErrorEvent(const std::wstring& source, const std::wstring& text);

// The name of the service this process runs as, asked of the service control manager by
// process id (known to it from the moment it starts the process); empty when none is found.
std::wstring FindOwnServiceName();

}  // namespace kestran::platform
