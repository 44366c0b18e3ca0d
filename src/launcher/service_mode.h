// Windows service mode: the service control dispatcher and the service objects.
#pragma once

#include <cstdint>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Builds the idle service objects (every mode) and tears them down again.
void CreateServiceObjects();
void DestroyServiceObjects();
// Runs the dispatcher; 0 when it ended normally, else its GetLastError (1063 from a console).
uint32_t RunServiceDispatcher(Launcher& launcher);

}  // namespace kestran::launcher
