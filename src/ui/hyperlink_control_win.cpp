#include "ui/hyperlink_control_win.h"

#include <vector>

#include "ui/dialog_functions_win.h"
#include "ui/link_colour.h"

namespace kestran::ui {
namespace {

constexpr wchar_t kObjectProperty[] = L"Kestran.HyperlinkControl";
constexpr wchar_t kColourKey[] = L"Software\\Microsoft\\Internet Explorer\\Settings";
constexpr UINT kStaticTypeMask = 0x1F;

std::optional<uint32_t> ReadRegistryColour(const RegistryFunctions& registry, HKEY key, const wchar_t* name) {
    std::vector<uint8_t> data(24);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    // A longer value answers ERROR_MORE_DATA and is ignored, as is any other failure.
    if (registry.RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return std::nullopt;
    data.resize(size);
    return ColourFromRegistryValue(type == REG_SZ || type == REG_EXPAND_SZ, data);
}

}  // namespace

HyperlinkControl::~HyperlinkControl() { Detach(); }

void HyperlinkControl::Attach(HWND window) {
    const UserFunctions& user = User();
    window_ = window;
    user.SetPropW(window, kObjectProperty, this);
    previous_ = reinterpret_cast<WNDPROC>(user.SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    Initialise();
}

void HyperlinkControl::Detach() {
    if (window_ == nullptr) return;
    const UserFunctions& user = User();
    // Put the control's own procedure back only if nobody subclassed it after us.
    if (user.IsWindow(window_) &&
        user.GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure)) {
        user.SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    }
    user.RemovePropW(window_, kObjectProperty);
    window_ = nullptr;
}

LRESULT CALLBACK HyperlinkControl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const UserFunctions& user = User();
    auto* self = static_cast<HyperlinkControl*>(user.GetPropW(window, kObjectProperty));
    if (self == nullptr) return user.DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC previous = self->previous_;
        self->Detach();
        return user.CallWindowProcW(previous, window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT HyperlinkControl::PassOn(UINT message, WPARAM wParam, LPARAM lParam) {
    return User().CallWindowProcW(previous_, window_, message, wParam, lParam);
}

void HyperlinkControl::Initialise() {
    const UserFunctions& user = User();
    wchar_t className[8] = {};
    user.GetClassNameW(window_, className, 8);
    if (lstrcmpiW(className, L"static") == 0) {
        LONG_PTR style = user.GetWindowLongPtrW(window_, GWL_STYLE);
        if (!(style & SS_NOTIFY)) user.SetWindowLongPtrW(window_, GWL_STYLE, style | SS_NOTIFY);
        UINT type = static_cast<UINT>(style & 0xFF);
        // Icons, frames, rectangles, owner-drawn, bitmaps and metafiles draw themselves.
        if ((type >= 3 && type <= 9) || (type >= 13 && type <= 15)) state_ &= ~kPaintLabel;
    }
    handCursor_ = user.LoadCursorW(nullptr, IDC_HAND);
    if (state_ & kPaintLabel) {
        if (normalFont_ == nullptr) {
            LOGFONTW font{};
            if (user.SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0)) {
                normalFont_ = Gdi().CreateFontIndirectW(&font);
                state_ |= kOwnsNormalFont;
            }
        }
        if (linkFont_ == nullptr) CreateLinkFont();
    }
    tooltip_ = user.CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (label_.empty()) label_ = WindowText(window_);
    CalcLinkRect();
    if (target_.empty()) target_ = label_;
    if (Linked() && tooltip_ != nullptr) {
        user.SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
        AddTool();
    }
    if (state_ & kPaintLabel) ReadColours();
}

void HyperlinkControl::ReadColours() {
    const auto* registry = platform::SystemFunctions<RegistryFunctions>();
    HKEY key = nullptr;
    if (registry == nullptr || registry->RegOpenKeyExW(HKEY_CURRENT_USER, kColourKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (auto colour = ReadRegistryColour(*registry, key, L"Anchor Color")) linkColor_ = *colour;
    if (auto colour = ReadRegistryColour(*registry, key, L"Anchor Color Visited")) visitedColor_ = *colour;
    registry->RegCloseKey(key);
}

void HyperlinkControl::CreateLinkFont() {
    const GdiFunctions& gdi = Gdi();
    if ((state_ & kOwnsLinkFont) && linkFont_ != nullptr) gdi.DeleteObject(linkFont_);
    LOGFONTW font{};
    HGDIOBJ source = normalFont_ != nullptr ? static_cast<HGDIOBJ>(normalFont_) : gdi.GetStockObject(SYSTEM_FONT);
    gdi.GetObjectW(source, sizeof(font), &font);
    if (!(linkStyle_ & kNoUnderline)) font.lfUnderline = TRUE;
    linkFont_ = gdi.CreateFontIndirectW(&font);
    state_ |= kOwnsLinkFont;
}

bool HyperlinkControl::CalcLinkRect() {
    const UserFunctions& user = User();
    if (!user.IsWindow(window_) || (label_.empty() && target_.empty())) return false;
    RECT client{};
    user.GetClientRect(window_, &client);
    linkRect_ = client;
    if (!(state_ & kPaintLabel)) return true;
    const std::wstring& text = label_.empty() ? target_ : label_;
    HDC dc = user.GetDC(window_);
    HGDIOBJ old = Gdi().SelectObject(dc, linkFont_ ? linkFont_ : normalFont_);
    UINT format = DT_CALCRECT | ((linkStyle_ & kSingleLine) ? DT_SINGLELINE : DT_WORDBREAK);
    user.DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &linkRect_, format);
    Gdi().SelectObject(dc, old);
    user.ReleaseDC(window_, dc);
    LONG spare = (client.right - client.left) - (linkRect_.right - linkRect_.left);
    UINT type = static_cast<UINT>(user.GetWindowLongPtrW(window_, GWL_STYLE)) & kStaticTypeMask;
    if (spare > 0 && type == SS_CENTER) user.OffsetRect(&linkRect_, spare / 2, 0);
    if (spare > 0 && type == SS_RIGHT) user.OffsetRect(&linkRect_, spare, 0);
    return true;
}

void HyperlinkControl::AddTool() {
    TOOLINFOW tool{};
    // The size without the last member: accepted by every version of the tooltip control,
    // while the full size is refused by the version 5 control.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window_;
    tool.uId = 1;
    tool.rect = linkRect_;
    tool.hinst = GetModuleHandleW(nullptr);
    tool.lpszText = target_.data();
    User().SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool HyperlinkControl::OverLink(POINT point) const { return User().PtInRect(&linkRect_, point) != FALSE; }

void HyperlinkControl::Redraw(bool wholeWindow) {
    const UserFunctions& user = User();
    user.InvalidateRect(window_, wholeWindow ? nullptr : &linkRect_, TRUE);
    user.UpdateWindow(window_);
}

LRESULT HyperlinkControl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const UserFunctions& user = User();
    if (message >= WM_MOUSEFIRST && message <= 0x020E && tooltip_ != nullptr && user.IsWindow(tooltip_) &&
        !(linkStyle_ & kNoTooltipRelay)) {
        MSG relayed{window_, message, wParam, lParam, 0, {0, 0}};
        user.SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
    case WM_CREATE:
        Initialise();
        return 0;
    case WM_DESTROY:
        if (tooltip_ != nullptr && user.IsWindow(tooltip_)) user.DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        if ((state_ & kOwnsLinkFont) && linkFont_ != nullptr) Gdi().DeleteObject(linkFont_);
        if ((state_ & kOwnsNormalFont) && normalFont_ != nullptr) Gdi().DeleteObject(normalFont_);
        linkFont_ = normalFont_ = nullptr;
        state_ &= ~(kOwnsLinkFont | kOwnsNormalFont);
        return PassOn(message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (!(state_ & kPaintLabel)) return PassOn(message, wParam, lParam);
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (!(state_ & kPaintLabel)) return PassOn(message, wParam, lParam);
        user.InvalidateRect(window_, nullptr, TRUE);
        return 0;
    case WM_MOUSEMOVE:
        if (OverLink(point) && Linked()) {
            user.SetCursor(handCursor_);
            if ((linkStyle_ & kUnderlineOnHover) && !(state_ & kHover)) {
                state_ |= kHover;
                Redraw(false);
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window_, 0};
                user.TrackMouseEvent(&track);
            }
            return 0;
        }
        if ((linkStyle_ & kUnderlineOnHover) && (state_ & kHover)) {
            state_ &= ~kHover;
            Redraw(false);
        }
        return PassOn(message, wParam, lParam);
    case WM_MOUSELEAVE:
        if ((linkStyle_ & kUnderlineOnHover) && (state_ & kHover)) {
            state_ &= ~kHover;
            Redraw(false);
        }
        return 0;
    case WM_LBUTTONDOWN:
        if (OverLink(point)) {
            user.SetFocus(window_);
            user.SetCapture(window_);
        }
        return 0;
    case WM_LBUTTONUP:
        if (user.GetCapture() == window_) {
            user.ReleaseCapture();
            if (OverLink(point)) Navigate();
        }
        return 0;
    case WM_CHAR:
        if (wParam == VK_RETURN || wParam == VK_SPACE) Navigate();
        return 0;
    case WM_GETDLGCODE: {
        // Enter on the focused link opens it; without asking for that key the dialog would
        // turn it into a press of its (possibly disabled) default button.
        const MSG* pending = reinterpret_cast<const MSG*>(lParam);
        bool enter = pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN;
        return DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_SETCURSOR: {
        POINT cursor{};
        user.GetCursorPos(&cursor);
        user.ScreenToClient(window_, &cursor);
        if (OverLink(cursor) && Linked()) {
            user.SetCursor(handCursor_);
            return 1;
        }
        return PassOn(message, wParam, lParam);
    }
    case WM_ENABLE:
        Redraw(true);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(normalFont_);
    case WM_SETFONT:
        if ((state_ & kOwnsNormalFont) && normalFont_ != nullptr) Gdi().DeleteObject(normalFont_);
        state_ &= ~kOwnsNormalFont;
        normalFont_ = reinterpret_cast<HFONT>(wParam);
        if ((state_ & kOwnsLinkFont) || (linkStyle_ & kRebuildFontOnSetFont)) CreateLinkFont();
        CalcLinkRect();
        if (lParam != 0) Redraw(true);
        return 0;
    case WM_UPDATEUISTATE:
        return 0;
    case WM_SIZE:
        CalcLinkRect();
        user.InvalidateRect(window_, nullptr, TRUE);
        return 0;
    default:
        return PassOn(message, wParam, lParam);
    }
}

void HyperlinkControl::Paint(HDC given) {
    const UserFunctions& user = User();
    const GdiFunctions& gdi = Gdi();
    PAINTSTRUCT paint{};
    HDC dc = given != nullptr ? given : user.BeginPaint(window_, &paint);
    RECT client{};
    user.GetClientRect(window_, &client);
    auto brush = reinterpret_cast<HBRUSH>(
        user.SendMessageW(user.GetParent(window_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window_)));
    if (brush != nullptr) user.FillRect(dc, &client, brush);

    gdi.SetBkMode(dc, TRANSPARENT);
    COLORREF colour = !user.IsWindowEnabled(window_) ? user.GetSysColor(COLOR_GRAYTEXT)
                      : (state_ & kVisited)         ? visitedColor_
                                                    : linkColor_;
    gdi.SetTextColor(dc, colour);
    bool plain = linkFont_ == nullptr || ((linkStyle_ & kUnderlineOnHover) && !(state_ & kHover));
    HGDIOBJ old = gdi.SelectObject(dc, plain ? normalFont_ : linkFont_);
    UINT type = static_cast<UINT>(user.GetWindowLongPtrW(window_, GWL_STYLE)) & kStaticTypeMask;
    UINT format = (type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT) |
                  ((linkStyle_ & kSingleLine) ? DT_SINGLELINE : DT_WORDBREAK);
    const std::wstring& text = label_.empty() ? target_ : label_;
    RECT area = linkRect_;
    user.DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
    if (user.GetFocus() == window_) user.DrawFocusRect(dc, &linkRect_);
    gdi.SelectObject(dc, old);
    if (given == nullptr) user.EndPaint(window_, &paint);
}

bool HyperlinkControl::Navigate() {
    const UserFunctions& user = User();
    HWND parent = user.GetParent(window_);
    int id = user.GetDlgCtrlID(window_);
    if ((linkStyle_ & kCommandToParent) && (linkStyle_ & kNotifyToParent)) {
        NMHDR header{window_, static_cast<UINT_PTR>(id), static_cast<UINT>(NM_CLICK)};
        user.SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&header));
        return true;
    }
    if (linkStyle_ & kCommandToParent) {
        user.SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(window_));
        return true;
    }
    const auto* shell = platform::SystemFunctions<ShellFunctions>();
    if (shell == nullptr || target_.empty()) return false;
    auto result = reinterpret_cast<INT_PTR>(shell->ShellExecuteW(nullptr, L"open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) return false;
    state_ |= kVisited;
    user.InvalidateRect(window_, nullptr, TRUE);
    return true;
}

}  // namespace kestran::ui
