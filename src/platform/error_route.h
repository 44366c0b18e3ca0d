// Where one error line of a launch goes, from what the process has: the part of the error
// report that is pure policy (see error_report.h for the whole).
#pragma once

namespace kestran::platform {

struct ErrorRoute {
    bool standardOutput = false;  // written there as it always was
    bool eventLog = false;        // one error event of the service's source
    bool kept = false;            // kept for the one message box of a failed launch
};

// `outputUsable`: standard output is a console, a pipe or a file. `windowed`: the executable
// is linked for the GUI subsystem. `service`: the launch runs as a Windows service.
ErrorRoute RouteErrorLine(bool outputUsable, bool windowed, bool service);

}  // namespace kestran::platform
