// The end of a failed launch in the windowed executable: its kept lines in one message box.
#pragma once

#include <string>

#include "launcher/launcher.h"

namespace kestran::launcher {

// The box's title: the "Product Name" setting, else the executable's file name.
std::wstring FailureTitle(const Launcher* launcher);

// Shows the kept lines (platform::ShowKeptErrors) under FailureTitle when the launch failed:
// `failed` (a code other than 0) after a line of the launcher, or the VM aborted.
void ShowLaunchFailure(const Launcher* launcher, bool failed, bool vmAborted = false);

}  // namespace kestran::launcher
