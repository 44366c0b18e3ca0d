// The two dialogs as a person sees them, in each language: the texts fit their controls, and
// what the dialog shows at run time reaches it. Needs a display (the test rig's Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../../resources/dialog_ids.h"
#include "config/messages.h"
#include "ui/exception_dialog.h"
#include "ui/runtime_not_found.h"

using namespace kestran;

namespace {

struct Seen {
    bool found = false;
    std::vector<std::string> clipped;  // "control id: text"
    std::function<void(HWND)> inspect;
};
Seen* seen = nullptr;

std::wstring TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// The text's extent in the control's own font: wrapped statics must fit in height, everything
// else on one line in width (buttons and group boxes keep a margin for their frame).
BOOL CALLBACK CheckControl(HWND control, LPARAM) {
    std::wstring text = TextOf(control);
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    if (text.empty() || lstrcmpiW(className, L"Edit") == 0) return TRUE;
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    bool isStatic = lstrcmpiW(className, L"Static") == 0;
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | (isStatic ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    const LONG margin = isStatic ? 0 : 8;
    if (needed.right + margin > client.right || needed.bottom > client.bottom)
        seen->clipped.push_back(std::to_string(GetDlgCtrlID(control)) + ": " + std::string(text.begin(), text.end()));
    return TRUE;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK Inspect(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    KillTimer(nullptr, timer);
    seen->found = true;
    EnumChildWindows(dialog, CheckControl, 0);
    if (seen->inspect) seen->inspect(dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The titles are checked where the dialogs are found by them (the black-box dialog tests).
const LANGID kLanguages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
                             MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)};

class DialogsTest : public ::testing::Test {
protected:
    void TearDown() override { SetThreadLocale(previous_); }
    LCID previous_ = GetThreadLocale();
};

TEST_F(DialogsTest, RuntimeNotFoundInEachLanguage) {
    for (LANGID language : kLanguages) {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        // The longest message the dialog can get: the server wording with two long versions.
        std::wstring message = config::FormatMessageId(config::kMsgJreNotFoundServer,
                                                       {L"version between 1.8.0.301 and 11.0.2.13"});
        Seen result;
        result.inspect = [&](HWND dialog) {
            EXPECT_EQ(TextOf(GetDlgItem(dialog, KESTRAN_IDC_MESSAGE)), message);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
            EXPECT_EQ(GetFocus(), GetDlgItem(dialog, KESTRAN_IDC_BROWSE));
            // The link is ours: it asks for the keys that open it.
            EXPECT_EQ(SendMessageW(GetDlgItem(dialog, KESTRAN_IDC_DOWNLOAD_LINK), WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS,
                      DLGC_WANTCHARS);
        };
        seen = &result;
        SetTimer(nullptr, 0, 50, Inspect);
        std::wstring folder, library;
        int code = ui::ShowRuntimeNotFoundDialog(message, 1, runtime::DiskFileProber(), folder, library);
        ASSERT_TRUE(result.found) << "no dialog in language " << language;
        EXPECT_EQ(code, ui::kDialogCancel) << "OK must not end the dialog before a runtime was picked";
        EXPECT_TRUE(result.clipped.empty()) << language << " clipped: " << ::testing::PrintToString(result.clipped);
    }
}

TEST_F(DialogsTest, ExceptionDialogInEachLanguage) {
    for (LANGID language : kLanguages) {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        Seen result;
        result.inspect = [&](HWND dialog) {
            EXPECT_EQ(TextOf(GetDlgItem(dialog, KESTRAN_IDC_STACK_TRACE)),
                      L"java.lang.RuntimeException: boom\r\n\tat com.example.Main.main(Main.java)\r\n");
            // Made larger, the text box grows and Stop keeps its place at the bottom right.
            RECT before{}, after{}, box{}, grown{}, frame{};
            GetWindowRect(GetDlgItem(dialog, IDCANCEL), &before);
            GetWindowRect(GetDlgItem(dialog, KESTRAN_IDC_STACK_TRACE), &box);
            GetWindowRect(dialog, &frame);
            SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top + 80,
                         SWP_NOMOVE | SWP_NOZORDER);
            GetWindowRect(GetDlgItem(dialog, IDCANCEL), &after);
            GetWindowRect(GetDlgItem(dialog, KESTRAN_IDC_STACK_TRACE), &grown);
            EXPECT_EQ(after.left - before.left, 100);
            EXPECT_EQ(after.top - before.top, 80);
            EXPECT_EQ((grown.right - grown.left) - (box.right - box.left), 100);
        };
        seen = &result;
        SetTimer(nullptr, 0, 50, Inspect);
        ui::ExceptionChoice choice = ui::ShowExceptionDialog(L"java.lang.RuntimeException: boom\n\tat com.example.Main.main(Main.java)\n");
        ASSERT_TRUE(result.found) << "no dialog in language " << language;
        EXPECT_EQ(choice, ui::ExceptionChoice::kIgnore);
        EXPECT_TRUE(result.clipped.empty()) << language << " clipped: " << ::testing::PrintToString(result.clipped);
    }
}

}  // namespace
