// The window-system functions the dialogs use, loaded only when a dialog is about to open:
// a launch that finds its runtime never maps user32, gdi32, shell32, ole32 or comctl32.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "platform/system_library_win.h"

namespace kestran::ui {

#define KESTRAN_TABLE_SLOT(name) decltype(&::name) name = nullptr;
#define KESTRAN_TABLE_BIND(name) ok = library.Bind(name, #name) && ok;
#define KESTRAN_FUNCTION_TABLE(Type, file, LIST)                     \
    struct Type {                                                     \
        static constexpr const wchar_t* kLibrary = file;              \
        LIST(KESTRAN_TABLE_SLOT)                                      \
        bool Bind(platform::SystemLibrary& library) {                 \
            bool ok = true;                                           \
            LIST(KESTRAN_TABLE_BIND)                                  \
            return ok;                                                \
        }                                                             \
    };

#define KESTRAN_USER32_FUNCTIONS(X)                                                                   \
    X(DialogBoxParamW) X(EndDialog) X(GetDlgItem) X(GetDlgCtrlID) X(SetWindowTextW)                  \
    X(GetWindowTextW) X(GetWindowTextLengthW) X(EnableWindow) X(IsWindowEnabled) X(SendMessageW)      \
    X(GetWindowRect) X(GetClientRect) X(GetParent) X(GetActiveWindow) X(IsWindow) X(IsWindowVisible)  \
    X(IsIconic) X(MonitorFromWindow) X(GetMonitorInfoW) X(SetWindowPos) X(SetWindowLongPtrW)          \
    X(GetWindowLongPtrW) X(CallWindowProcW) X(DefWindowProcW) X(GetClassNameW) X(LoadCursorW)        \
    X(SetCursor) X(CreateWindowExW) X(DestroyWindow) X(InvalidateRect) X(UpdateWindow) X(DrawTextW)   \
    X(BeginPaint) X(EndPaint) X(FillRect) X(GetSysColor) X(DrawFocusRect) X(GetFocus) X(SetFocus)    \
    X(SetCapture) X(ReleaseCapture) X(GetCapture) X(GetCursorPos) X(ScreenToClient) X(PtInRect)      \
    X(TrackMouseEvent) X(SystemParametersInfoW) X(SetPropW) X(GetPropW) X(RemovePropW)               \
    X(GetProcessWindowStation) X(GetUserObjectInformationW) X(MapDialogRect) X(GetDC) X(ReleaseDC)   \
    X(OffsetRect) X(GetKeyState)
KESTRAN_FUNCTION_TABLE(UserFunctions, L"user32.dll", KESTRAN_USER32_FUNCTIONS)

#define KESTRAN_GDI32_FUNCTIONS(X) \
    X(CreateFontIndirectW) X(GetObjectW) X(DeleteObject) X(SelectObject) X(SetBkMode) X(SetTextColor) X(GetStockObject)
KESTRAN_FUNCTION_TABLE(GdiFunctions, L"gdi32.dll", KESTRAN_GDI32_FUNCTIONS)

#define KESTRAN_SHELL32_FUNCTIONS(X) X(SHBrowseForFolderW) X(SHGetPathFromIDListW) X(ShellExecuteW)
KESTRAN_FUNCTION_TABLE(ShellFunctions, L"shell32.dll", KESTRAN_SHELL32_FUNCTIONS)

#define KESTRAN_OLE32_FUNCTIONS(X) X(CoInitializeEx) X(CoUninitialize) X(CoTaskMemFree)
KESTRAN_FUNCTION_TABLE(ComFunctions, L"ole32.dll", KESTRAN_OLE32_FUNCTIONS)

#define KESTRAN_COMCTL32_FUNCTIONS(X) X(InitCommonControlsEx)
KESTRAN_FUNCTION_TABLE(CommonControlFunctions, L"comctl32.dll", KESTRAN_COMCTL32_FUNCTIONS)

#define KESTRAN_ADVAPI32_FUNCTIONS(X) X(RegOpenKeyExW) X(RegQueryValueExW) X(RegCloseKey)
KESTRAN_FUNCTION_TABLE(RegistryFunctions, L"advapi32.dll", KESTRAN_ADVAPI32_FUNCTIONS)

// Loads the libraries every dialog needs (each failure prints its 202 line). False: no dialog.
bool LoadDialogLibraries();
// The tables, for code that runs inside an open dialog (the libraries are loaded by then).
const UserFunctions& User();
const GdiFunctions& Gdi();

// False for a process whose window station is not visible (a service, a non-interactive
// session): a dialog there would wait for an answer nobody can give.
bool HasInteractiveDesktop();

// Centres `dialog` over its owner when that is visible and not minimised, else in the work
// area of the nearest monitor, and keeps it inside that work area.
void CentreDialog(HWND dialog);

std::wstring WindowText(HWND window);

}  // namespace kestran::ui
