#include "launcher/single_instance.h"

namespace kestran::launcher {

// The Linux JNI host runs one launch per process: every start is a first instance there.
bool AcquireSingleInstance(Launcher& launcher) {
    launcher.singleInstance = false;
    return true;
}

uint32_t WaitForPrimary(Launcher&) { return 0; }

void ReleaseSingleInstance(Launcher&) {}

}  // namespace kestran::launcher
