#include <windows.h>

#include "platform/error_box_win.h"
#include "platform/system_library_win.h"
#include "platform/user_notice.h"

namespace kestran::platform {
namespace {

// user32 is loaded only when a failed launch has something to show.
struct MessageBoxFunctions {
    static constexpr const wchar_t* kLibrary = L"user32.dll";
    decltype(&::MessageBoxW) MessageBoxW;
    decltype(&::GetProcessWindowStation) GetProcessWindowStation;
    decltype(&::GetUserObjectInformationW) GetUserObjectInformationW;
    bool Bind(SystemLibrary& library) {
        return library.Bind(MessageBoxW, "MessageBoxW") &&
               library.Bind(GetProcessWindowStation, "GetProcessWindowStation") &&
               library.Bind(GetUserObjectInformationW, "GetUserObjectInformationW");
    }
};

}  // namespace

bool ShowErrorBox(const std::wstring& title, const std::wstring& text) {
    BeforeUserNotice();
    const MessageBoxFunctions* user = SystemFunctions<MessageBoxFunctions>();
    if (user == nullptr) return false;
    HWINSTA station = user->GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    if (station == nullptr || !user->GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) ||
        (flags.dwFlags & WSF_VISIBLE) == 0) {
        return false;
    }
    // No owner window exists; the box must come to the front by itself, or a launch from
    // Explorer would leave it behind the window that started it.
    return user->MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST) != 0;
}

}  // namespace kestran::platform
