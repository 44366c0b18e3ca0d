#include "launcher/single_instance.h"

namespace kestran::launcher {

// Placeholders until single-instance mode lands: every process runs as an ordinary launcher.
bool AcquireSingleInstance(Launcher&) { return true; }
uint32_t WaitForPrimary(Launcher&) { return 0; }

}  // namespace kestran::launcher
