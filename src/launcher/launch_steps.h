// The launch sequence: the steps the entry point runs, in their fixed order.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/launcher.h"
#include "platform/module_path.h"

namespace kestran::launcher {

// Everything up to the choice of a runtime (in service mode, up to the runtime search). False
// ends the launch with -1.
bool PrepareLaunch(Launcher& launcher);
// The runtime search of PrepareLaunch, with the runtime dialog as its last resort (run by the
// service thread in service mode). False ends the launch with -1.
bool LocateRuntime(Launcher& launcher);
// Hand-over, wait for a first instance, or the normal run; the process exit code.
uint32_t RunLaunch(Launcher& launcher);
// The launcher's own command line, split, without the program path.
void ParseCommandLine(Launcher& launcher, WideList& out);
// Splits a raw command line (program path first) into the Java arguments.
void SplitCommandLine(const std::wstring& commandLine, WideList& out);
// The launcher's own file path (platform/module_path.h).
using platform::GetModulePath;

}  // namespace kestran::launcher
