// Handing the whole run over to the paired launcher program (for a 32-bit runtime).
#pragma once

#include <cstdint>

#include "launcher/launcher.h"

namespace kestran::launcher {

// Starts "Pair Product" with this process's command line; its exit code with
// "Pair Return Code", else 0.
uint32_t HandOverToPair(Launcher& launcher);

}  // namespace kestran::launcher
