#include "ui/exception_dialog.h"

#include "../../resources/dialog_ids.h"
#include "platform/user_notice.h"
#include "ui/dialog_functions_win.h"

namespace kestran::ui {
namespace {

// A multi-line edit control breaks lines only at CR LF; printStackTrace writes LF alone
// (and the VM's line separator elsewhere).
std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
        out += text[i];
    }
    return out;
}

// The dialog has a sizing border: the text box and its frame grow with it, the texts below and
// the buttons keep their distance from the bottom (and the buttons from the right).
struct Layout {
    SIZE client{};
    SIZE minimum{};
    struct Anchored { int id; RECT rect; bool moveX, moveY, growX, growY; };
    Anchored controls[6] = {
        {IDOK, {}, true, true, false, false},
        {IDCANCEL, {}, true, true, false, false},
        {KESTRAN_IDC_EXCEPTION_GROUP, {}, false, false, true, true},
        {KESTRAN_IDC_STACK_TRACE, {}, false, false, true, true},
        {KESTRAN_IDC_EXCEPTION_CHOICE, {}, false, true, true, false},
        {KESTRAN_IDC_EXCEPTION_WARNING, {}, false, true, true, false},
    };
};
Layout layout;

void RememberLayout(HWND dialog) {
    const UserFunctions& user = User();
    RECT client{}, window{};
    user.GetClientRect(dialog, &client);
    user.GetWindowRect(dialog, &window);
    layout.client = {client.right, client.bottom};
    layout.minimum = {window.right - window.left, window.bottom - window.top};
    for (auto& control : layout.controls) {
        RECT& r = control.rect;
        user.GetWindowRect(user.GetDlgItem(dialog, control.id), &r);
        POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
        user.ScreenToClient(dialog, &corners[0]);
        user.ScreenToClient(dialog, &corners[1]);
        r = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    }
}

void ApplyLayout(HWND dialog, int width, int height) {
    const UserFunctions& user = User();
    const int dx = width - layout.client.cx;
    const int dy = height - layout.client.cy;
    for (const auto& control : layout.controls) {
        const RECT& r = control.rect;
        user.SetWindowPos(user.GetDlgItem(dialog, control.id), nullptr, r.left + (control.moveX ? dx : 0),
                          r.top + (control.moveY ? dy : 0), r.right - r.left + (control.growX ? dx : 0),
                          r.bottom - r.top + (control.growY ? dy : 0), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    user.InvalidateRect(dialog, nullptr, TRUE);
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const UserFunctions& user = User();
    switch (message) {
    case WM_INITDIALOG:
        user.SetWindowTextW(user.GetDlgItem(dialog, KESTRAN_IDC_STACK_TRACE), reinterpret_cast<const wchar_t*>(lParam));
        RememberLayout(dialog);
        CentreDialog(dialog);
        return TRUE;
    case WM_SIZE:
        if (layout.client.cx > 0 && wParam != SIZE_MINIMIZED) ApplyLayout(dialog, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_DESTROY:
        layout = Layout{};
        return FALSE;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (layout.minimum.cx > 0) limits->ptMinTrackSize = {layout.minimum.cx, layout.minimum.cy};
        return TRUE;
    }
    case WM_CLOSE:
        user.EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND:
        // Stop is the dialog's cancel button, so Escape arrives as its command too. Escape and
        // the close box only dismiss the question: they must not throw away unsaved data.
        if (LOWORD(wParam) == IDCANCEL && user.GetKeyState(VK_ESCAPE) < 0) wParam = IDOK;
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            user.EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

ExceptionChoice ShowExceptionDialog(const std::wstring& stackTrace) {
    if (!HasInteractiveDesktop() || !LoadDialogLibraries()) return ExceptionChoice::kCannotShow;
    platform::BeforeUserNotice();
    std::wstring text = WithCrLf(stackTrace);
    INT_PTR result = User().DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KESTRAN_IDD_EXCEPTION), nullptr,
                                            &Procedure, reinterpret_cast<LPARAM>(text.c_str()));
    if (result == IDOK) return ExceptionChoice::kIgnore;
    if (result == IDCANCEL) return ExceptionChoice::kStop;
    return ExceptionChoice::kCannotShow;
}

}  // namespace kestran::ui
