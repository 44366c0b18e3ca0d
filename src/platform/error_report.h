// Where the launcher's error lines and the VM's own messages go, in each kind of process:
// - a standard output that exists (a console, a pipe, a file) gets them as it always has;
// - in service mode each line also goes to the Application event log, the service's source;
// - the windowed executable without a usable standard output keeps them, and shows a failed
//   launch in one message box before the process exits (ShowKeptErrors).
// The VM's own text is kept (bounded) only until main has been called, for the failure report;
// after that it is the program's output (see RouteVmText).
// Every function may be called from any thread.
#pragma once

#include <string>

#include "platform/error_route.h"

namespace kestran::platform {

// One line of the launcher ("Error: ..." with its line end). A launch that reported one has failed.
void ReportErrorLine(const std::wstring& line);

// Text the VM printed through its vfprintf hook, in the pieces it printed, on the Reported
// route: standard output when that is usable, and kept for the failure report.
void ReportVmMessage(const std::wstring& text);
// The VM's bytes, as it printed them, on the ErrorFile route.
void AppendVmTextFile(const std::string& bytes);
// Where the VM's standard output and error text goes now.
VmTextRoute CurrentVmTextRoute();
// main is about to be called: what was kept so far explains no failure any more.
void ReportMainStarted();
// "Error File" as the Java side opens it, for the VM's text once main has started (when that
// route is taken): opened for appending, emptied first when `truncate`. False when it cannot be
// opened; the text is then dropped.
bool OpenVmTextFile(const std::wstring& path, bool truncate);
// True when the VM's text after main goes to "Error File" (service mode, or the windowed
// executable without an output): the Java side must then append to it as well.
bool VmTextSharesErrorFile(bool serviceMode);

// True until main has been called when a failed launch ends in the box (the windowed
// executable without an output, not a service): a VM that ends the process then leaves
// nothing else to see.
bool ExitBeforeMainNeedsLine();

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
// a launcher line was reported, or `vmAborted`) and there is a desktop to show it on: at most a
// screenful, the first lines and the last; the trace gets all of it. In service mode the VM's
// kept text becomes one event instead. The first call decides: later calls, and lines
// reported after it, add nothing.
void ShowKeptErrors(const std::wstring& title, bool failed, bool vmAborted);

// Test seam: sees every event-log report and every message box, with the text it carries
// ("event " or "box " followed by the text), after the real call ran. Null removes it.
using ReportObserver = void (*)(const std::wstring& what);
void SetReportObserver(ReportObserver observer);

}  // namespace kestran::platform
