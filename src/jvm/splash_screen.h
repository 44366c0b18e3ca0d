// The splash screen of the chosen runtime's own splash library (bin\splashscreen.dll), shown
// before the VM is created so that java.awt.SplashScreen sees it: the program may draw on it
// and close it, and AWT closes it at the program's first AWT window. The launcher closes it
// itself before anything of its own is shown (through platform::BeforeUserNotice), when the
// launch fails, at the first other window of the process, and after "Splash Timeout".
// A splash never stops a launch: each reason not to show one is a trace line.
#pragma once

#include <string>

#include "config/launch_settings.h"
#include "runtime/option_narrowing.h"

namespace kestran::jvm {

// The splash library's C exports; a runtime without the scale functions still shows the
// picture as it is.
struct SplashFunctions {
    void (*init)() = nullptr;
    int (*loadFile)(const char* file) = nullptr;
    void (*setFileJarName)(const char* file, const char* jar) = nullptr;
    void (*close)() = nullptr;
    unsigned char (*getScaledImageName)(const char* jar, const char* file, float* scale, char* out, size_t size) = nullptr;
    int (*getScaledImgNameMaxPstfixLen)(const char* file) = nullptr;
    void (*setScaleFactor)(float scale) = nullptr;
};

// Fills `out` from `lookup` (an export's address by name, null when absent). False when one
// of the four functions every splash library has is missing.
using SplashExportLookup = void* (*)(void* library, const char* name);
bool BindSplashFunctions(void* library, SplashExportLookup lookup, SplashFunctions& out);

// Shows launch.splash.image through the splash library beside the VM library at
// `vmLibraryPath` (loaded already: the splash library needs it). Call on the entry thread
// before the VM is created. Nothing in service mode or without a picture.
void ShowSplash(const config::LaunchSettings& launch, const std::wstring& vmLibraryPath);

// Closes the splash ShowSplash showed; later calls, and calls without one, do nothing. Any thread.
void CloseSplash();
// True while a splash shown by ShowSplash has not been closed by the launcher.
bool SplashShown();

// The bytes the splash library reads the file name as: the path in the process code page,
// else (outside the code page, or 260 characters or longer) its short form when that
// converts; false when neither does.
bool SplashFileBytes(const std::wstring& path, const runtime::TextNarrowing& codec, std::string& out);

// The picture to load for the display's scale: the library's own name for the scaled variant
// (name@2x.png, name@150pct.png, ...) with its factor when such a file exists, else `file`
// with factor 0 (none to set).
std::string ScaledSplashFile(const SplashFunctions& splash, const std::string& file, float& scale);

}  // namespace kestran::jvm
