// What the splash screen needs from the operating system: its library, and a watch for the
// process's first window and the timeout.
#pragma once

#include <cstdint>
#include <string>

#include "jvm/splash_screen.h"

namespace kestran::jvm {

// Loads the splash library of the runtime whose VM library is `vmLibraryPath` (bin\splashscreen.dll
// on Windows) by full path, never freed (AWT's SplashScreen uses the same instance), and looks
// its exports up. False with the reason for the trace when it is missing or incomplete.
bool LoadSplashLibrary(const std::wstring& vmLibraryPath, SplashFunctions& out, std::wstring& reason);

// Marks the start and the end of the calls that show the splash, so that the watch can tell
// the splash's own window from the program's.
void BeginSplashCalls();
// Starts watching (when the platform can): CloseSplash() at the first visible window of the
// process that is not the splash's, and after `timeoutSeconds` (0: never).
void WatchSplash(uint32_t timeoutSeconds);

}  // namespace kestran::jvm
