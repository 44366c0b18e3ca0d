// The runtime-not-found dialog: names the required Java version and lets the user pick a folder.
#pragma once

#include <string>

namespace kestran::ui {

constexpr int kDialogCannotShow = -1;
constexpr int kDialogOk = 1;

// Shows the dialog modally. 1 (OK) fills the picked folder and its jvm.dll; kDialogCannotShow
// when no dialog can be shown (no interactive desktop, or it failed to open).
int ShowRuntimeNotFoundDialog(const std::wstring& message, int jvmType, std::wstring& pickedFolder,
                              std::wstring& pickedLibraryPath);

}  // namespace kestran::ui
