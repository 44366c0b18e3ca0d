#include "ui/runtime_not_found.h"

#include "../../resources/dialog_ids.h"
#include "config/messages.h"
#include "ui/dialog_functions_win.h"
#include "ui/hyperlink_control_win.h"
#include "ui/runtime_pick.h"

namespace kestran::ui {

const wchar_t kDownloadAddress[] = L"" KESTRAN_DOWNLOAD_ADDRESS;

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;

class RuntimeNotFoundDialog {
public:
    RuntimeNotFoundDialog(const std::wstring& messageText, int jvmType, const runtime::FileProber& files)
        : messageText_(messageText), files_(files), pick_(jvmType) {}

    int Show() {
        return static_cast<int>(User().DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KESTRAN_IDD_RUNTIME_NOT_FOUND),
                                                       User().GetActiveWindow(), &Procedure,
                                                       reinterpret_cast<LPARAM>(this)));
    }
    const RuntimePick& pick() const { return pick_; }

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            User().SetPropW(dialog, L"Kestran.RuntimeNotFoundDialog", reinterpret_cast<HANDLE>(lParam));
            return reinterpret_cast<RuntimeNotFoundDialog*>(lParam)->Initialise(dialog);
        }
        auto* self = static_cast<RuntimeNotFoundDialog*>(User().GetPropW(dialog, L"Kestran.RuntimeNotFoundDialog"));
        if (self == nullptr) return FALSE;
        if (message == WM_NCDESTROY) User().RemovePropW(dialog, L"Kestran.RuntimeNotFoundDialog");
        if (message == WM_COMMAND) return self->Command(dialog, LOWORD(wParam));
        return FALSE;
    }

    INT_PTR Initialise(HWND dialog) {
        const UserFunctions& user = User();
        HWND link = user.GetDlgItem(dialog, KESTRAN_IDC_DOWNLOAD_LINK);
        if (link != nullptr) {
            if (!downloadLink_.HasNormalFont())
                downloadLink_.SetNormalFont(reinterpret_cast<HFONT>(user.SendMessageW(link, WM_GETFONT, 0, 0)));
            downloadLink_.Attach(link);
        }
        user.SetWindowTextW(user.GetDlgItem(dialog, KESTRAN_IDC_MESSAGE), messageText_.c_str());
        user.EnableWindow(user.GetDlgItem(dialog, IDOK), FALSE);
        CentreDialog(dialog);
        // The first tab stop is the disabled OK button; browsing is what the user can do first.
        // Through the dialog manager, so Browse also becomes the button that Enter presses.
        user.SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(user.GetDlgItem(dialog, KESTRAN_IDC_BROWSE)), TRUE);
        return FALSE;
    }

    INT_PTR Command(HWND dialog, int id) {
        switch (id) {
        case IDOK:
            // Never hand back an empty library, even if OK were reached some other way.
            if (pick_.CanAccept()) User().EndDialog(dialog, kDialogOk);
            return TRUE;
        case IDCANCEL:
            User().EndDialog(dialog, kDialogCancel);
            return TRUE;
        case KESTRAN_IDC_BROWSE:
            BrowseForRuntime(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void BrowseForRuntime(HWND dialog) {
        const auto& shell = *platform::SystemFunctions<ShellFunctions>();
        const auto& com = *platform::SystemFunctions<ComFunctions>();
        // The new-style browser hosts COM objects and needs a single-threaded apartment.
        HRESULT apartment = com.CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        std::wstring title = config::FormatMessageId(config::kMsgBrowseTitle);
        wchar_t displayName[MAX_PATH] = {};
        BROWSEINFOW browse{};
        browse.hwndOwner = dialog;
        browse.pszDisplayName = displayName;
        browse.lpszTitle = title.c_str();
        browse.ulFlags = kBrowseFlags;
        PIDLIST_ABSOLUTE picked = shell.SHBrowseForFolderW(&browse);
        if (picked != nullptr) {
            wchar_t path[MAX_PATH] = {};
            if (shell.SHGetPathFromIDListW(picked, path)) Picked(dialog, path);
            com.CoTaskMemFree(picked);
        }
        if (SUCCEEDED(apartment)) com.CoUninitialize();
    }

    void Picked(HWND dialog, const std::wstring& path) {
        const UserFunctions& user = User();
        user.SetWindowTextW(user.GetDlgItem(dialog, KESTRAN_IDC_RUNTIME_FOLDER), path.c_str());
        pick_.Pick(path, files_);
        // A pick without a library takes OK away again: OK must never hand back an empty library.
        user.EnableWindow(user.GetDlgItem(dialog, IDOK), pick_.CanAccept());
    }

    std::wstring messageText_;
    const runtime::FileProber& files_;
    RuntimePick pick_;
    HyperlinkControl downloadLink_;
};

}  // namespace

int ShowRuntimeNotFoundDialog(const std::wstring& message, int jvmType, const runtime::FileProber& files,
                              std::wstring& pickedFolder, std::wstring& pickedLibraryPath) {
    if (!HasInteractiveDesktop() || !LoadDialogLibraries()) return kDialogCannotShow;
    RuntimeNotFoundDialog dialog(message, jvmType, files);
    int result = dialog.Show();
    // DialogBoxParamW answers 0 or -1 when the dialog could not be created (no display).
    if (result != kDialogOk && result != kDialogCancel) return kDialogCannotShow;
    if (result == kDialogOk) {
        pickedFolder = dialog.pick().folder();
        pickedLibraryPath = dialog.pick().libraryPath();
    }
    return result;
}

}  // namespace kestran::ui
