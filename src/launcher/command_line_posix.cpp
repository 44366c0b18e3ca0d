#include "launcher/launch_steps.h"

namespace kestran::launcher {

// The native host has no command line of its own to forward; it fills arguments itself.
void ParseCommandLine(Launcher&, WideList& out) { out.clear(); }

}  // namespace kestran::launcher
