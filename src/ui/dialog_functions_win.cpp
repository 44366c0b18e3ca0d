#include "ui/dialog_functions_win.h"

#include <algorithm>

namespace kestran::ui {

bool LoadDialogLibraries() {
    // Each table prints its own 202 line when its library or a function is missing.
    bool ok = platform::SystemFunctions<UserFunctions>() != nullptr;
    ok = platform::SystemFunctions<GdiFunctions>() != nullptr && ok;
    ok = platform::SystemFunctions<ShellFunctions>() != nullptr && ok;
    ok = platform::SystemFunctions<ComFunctions>() != nullptr && ok;
    const auto* controls = platform::SystemFunctions<CommonControlFunctions>();
    if (controls == nullptr) return false;
    // The link's tooltip window class lives in comctl32 and exists only once registered.
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    controls->InitCommonControlsEx(&classes);
    return ok;
}

const UserFunctions& User() { return *platform::SystemFunctions<UserFunctions>(); }
const GdiFunctions& Gdi() { return *platform::SystemFunctions<GdiFunctions>(); }

bool HasInteractiveDesktop() {
    const auto* user = platform::SystemFunctions<UserFunctions>();
    if (user == nullptr) return false;
    HWINSTA station = user->GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    if (station == nullptr || !user->GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void CentreDialog(HWND dialog) {
    const UserFunctions& user = User();
    RECT own{};
    user.GetWindowRect(dialog, &own);
    HWND owner = user.GetParent(dialog);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    user.GetMonitorInfoW(user.MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT area = monitor.rcWork;
    RECT centre = area;
    if (owner != nullptr && user.IsWindowVisible(owner) && !user.IsIconic(owner)) user.GetWindowRect(owner, &centre);

    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    LONG left = centre.left + (centre.right - centre.left - width) / 2;
    LONG top = centre.top + (centre.bottom - centre.top - height) / 2;
    // Inside the work area; a dialog larger than the area keeps its top-left corner visible.
    left = std::max(area.left, std::min(left, area.right - width));
    top = std::max(area.top, std::min(top, area.bottom - height));
    user.SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring WindowText(HWND window) {
    const UserFunctions& user = User();
    int length = user.GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = user.GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

}  // namespace kestran::ui
