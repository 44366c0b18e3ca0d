// The process's surroundings: its working directory.
#pragma once

namespace kestran::launcher {

// Sets the working directory to the launcher's folder; never fails the launch.
void ApplyWorkingDirectory();

}  // namespace kestran::launcher
