// Where the launcher's error lines and the VM's own messages go, in each kind of process:
// - a standard output that exists (a console, a pipe, a file) gets them as it always has;
// - in service mode each line also goes to the Application event log, the service's source;
// - the windowed executable without a usable standard output keeps them, and shows all of a
//   failed launch in one message box before the process exits (ShowKeptErrors).
// Every function may be called from any thread.
#pragma once

#include <string>

namespace kestran::platform {

// One line of the launcher ("Error: ..." with its line end). A launch that reported one has failed.
void ReportErrorLine(const std::wstring& line);

// Text the VM printed through its vfprintf hook, in the pieces it printed: standard output
// when that is usable, and the event log or the kept lines as for ReportErrorLine.
void ReportVmMessage(const std::wstring& text);

// Text for the person who cannot see standard error (the event log in service mode); nothing
// in other processes, where standard error already has it.
void ReportUnseenText(const std::wstring& text);

// True when the VM's own messages need the vfprintf hook to reach anyone: service mode, or the
// windowed executable. Under a console the VM keeps printing them itself, as always.
bool VmMessagesNeedHook(bool serviceMode);

// The settings ask for service mode. That makes no service: a service-configured executable
// started from a prompt or from Explorer is an interactive launch, whose lines belong on its
// output or in its box, and which must not register an event source. Until ReportAsService or
// ReportAsInteractive settles it, the first line that needs to know asks the service control
// manager whether it names this process.
void ReportAsConfiguredService();
// The dispatcher connected: service mode from here on, lines also go to the event log under
// `sourceName` (the service's name; empty: found from the service control manager, else the
// executable's name).
void ReportAsService(const std::wstring& sourceName);
// The dispatcher could not connect: whatever the settings say, this is no service.
void ReportAsInteractive();

// Shows what was kept in one message box titled `title` when the launch failed (`failed` after
// a launcher line was reported, or `vmAborted`) and there is a desktop to show it on. In
// service mode it reports the VM's unfinished line instead. The first call decides: later
// calls, and lines reported after it, add nothing.
void ShowKeptErrors(const std::wstring& title, bool failed, bool vmAborted);

// Test seam: sees every event-log report and every message box, with the text it carries
// ("event " or "box " followed by the text), after the real call ran. Null removes it.
using ReportObserver = void (*)(const std::wstring& what);
void SetReportObserver(ReportObserver observer);

}  // namespace kestran::platform
