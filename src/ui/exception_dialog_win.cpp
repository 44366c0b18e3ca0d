#include "ui/exception_dialog.h"

#include "../../resources/dialog_ids.h"
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

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const UserFunctions& user = User();
    switch (message) {
    case WM_INITDIALOG:
        user.SetWindowTextW(user.GetDlgItem(dialog, KESTRAN_IDC_STACK_TRACE), reinterpret_cast<const wchar_t*>(lParam));
        CentreDialog(dialog);
        return TRUE;
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
    std::wstring text = WithCrLf(stackTrace);
    INT_PTR result = User().DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KESTRAN_IDD_EXCEPTION), nullptr,
                                            &Procedure, reinterpret_cast<LPARAM>(text.c_str()));
    if (result == IDOK) return ExceptionChoice::kIgnore;
    if (result == IDCANCEL) return ExceptionChoice::kStop;
    return ExceptionChoice::kCannotShow;
}

}  // namespace kestran::ui
