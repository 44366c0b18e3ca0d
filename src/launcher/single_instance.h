// Single-instance mode: later starts forward their arguments to the first instance.
#pragma once

#include <cstdint>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Settles this process's role. False ends the launch with -1 (forwarding failed).
bool AcquireSingleInstance(Launcher& launcher);
// A later instance: waits for the first instance's reply or exit.
uint32_t WaitForPrimary(Launcher& launcher);

}  // namespace kestran::launcher
