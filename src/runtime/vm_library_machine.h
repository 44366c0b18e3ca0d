// Whether the chosen VM library is a 32-bit x86 image, which the paired program must run.
#pragma once

#include "config/launch_settings.h"
#include "runtime/runtime_choice.h"

namespace kestran::runtime {

// Sets choice.handOverToPair when settings.pairProduct is set and choice.vmLibraryPath is a
// 32-bit x86 image; clears it otherwise (also when the file cannot be read).
void CheckVmLibraryMachine(const config::LaunchSettings& settings, RuntimeChoice& choice);

}  // namespace kestran::runtime
