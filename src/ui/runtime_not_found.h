// The runtime-not-found dialog: names the required Java version, links to the download page
// and lets the user pick a runtime folder.
#pragma once

#include <string>

#include "runtime/runtime_probe.h"

namespace kestran::ui {

constexpr int kDialogCannotShow = -1;
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

// The Java download page: the dialog's link, and the end of the not-found line when the text
// is printed instead.
extern const wchar_t kDownloadAddress[];

// Shows the dialog modally; a picked folder offers OK when `files` finds a library in it that
// this process can use. 1 (OK) fills the picked folder (with its trailing backslash) and the
// jvm.dll found in it; 2 for Cancel, Escape or the close box; kDialogCannotShow when no dialog
// can be shown (no interactive desktop, or it failed to open).
int ShowRuntimeNotFoundDialog(const std::wstring& message, int jvmType, const runtime::FileProber& files,
                              std::wstring& pickedFolder, std::wstring& pickedLibraryPath);

}  // namespace kestran::ui
