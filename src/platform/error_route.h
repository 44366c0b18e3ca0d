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

// Where the VM's standard output and error text goes, once it came through the vfprintf hook.
enum class VmTextRoute {
    Reported,     // as an error line: kept for the failure report, and on standard output if usable
    PassThrough,  // back to the VM's own stream, as without the hook
    ErrorFile,    // appended to "Error File"
    Dropped,      // nobody could read it, as with javaw
};

// Until main has been called the text may explain a failed start; after that it is the
// program's output, which a service or a windowed launch without an output cannot show.
VmTextRoute RouteVmText(bool outputUsable, bool windowed, bool service, bool mainStarted, bool errorFileSet);

}  // namespace kestran::platform
