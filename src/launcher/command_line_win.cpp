#include <windows.h>

#include "launcher/launch_steps.h"

namespace kestran::launcher {

void ParseCommandLine(Launcher&, WideList& out) {
    const wchar_t* commandLine = GetCommandLineW();
    SplitCommandLine(commandLine ? commandLine : L"", out);
}

}  // namespace kestran::launcher
