// Windows service mode: the service control dispatcher and the service objects.
#pragma once

#include <cstdint>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Builds the idle service objects (every mode) and tears them down again.
void CreateServiceObjects();
void DestroyServiceObjects();
// Runs the dispatcher, whose service thread runs the launch with the service's start
// parameters. 0 when it ended normally, else its GetLastError (1063 when the process was not
// started by the service control manager, after a line saying so).
uint32_t RunServiceDispatcher(Launcher& launcher);

}  // namespace kestran::launcher
