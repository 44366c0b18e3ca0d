// Turns a static text control into a link: link colours and an underlined font, the hand
// cursor, the target in a tooltip, keyboard focus, and the shell opens the target on a click,
// Enter or Space. Requires LoadDialogLibraries().
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kestran::ui {

class HyperlinkControl {
public:
    // linkStyle bits
    static constexpr uint32_t kNoUnderline = 0x0001;
    static constexpr uint32_t kUnderlineOnHover = 0x0002;
    static constexpr uint32_t kCommandToParent = 0x0004;
    static constexpr uint32_t kNotifyToParent = 0x0008;  // with kCommandToParent: NM_CLICK
    static constexpr uint32_t kNoTooltipRelay = 0x0040;
    static constexpr uint32_t kRebuildFontOnSetFont = 0x0080;
    static constexpr uint32_t kSingleLine = 0x0100;

    explicit HyperlinkControl(uint32_t linkStyle = 0) : linkStyle_(linkStyle) {}
    ~HyperlinkControl();
    HyperlinkControl(const HyperlinkControl&) = delete;
    HyperlinkControl& operator=(const HyperlinkControl&) = delete;

    // Subclasses the existing control `window` and takes its text as label (and target,
    // unless one was set). The control's own procedure is put back when the window goes.
    void Attach(HWND window);
    void SetTarget(const std::wstring& target) { target_ = target; }
    // The font drawn outside the link and reported by WM_GETFONT; not owned.
    void SetNormalFont(HFONT font) { if (normalFont_ == nullptr) normalFont_ = font; }
    bool HasNormalFont() const { return normalFont_ != nullptr; }

    bool visited() const { return state_ & kVisited; }
    uint32_t linkColor() const { return linkColor_; }

private:
    enum State : uint8_t { kPaintLabel = 0x01, kVisited = 0x02, kHover = 0x04, kOwnsLinkFont = 0x08, kOwnsNormalFont = 0x10 };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT PassOn(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void ReadColours();
    void CreateLinkFont();
    bool CalcLinkRect();
    void AddTool();
    void Paint(HDC given);
    bool Navigate();
    bool Linked() const { return !target_.empty() || (linkStyle_ & kCommandToParent); }
    bool OverLink(POINT point) const;
    void Redraw(bool wholeWindow);
    void Detach();

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
    std::wstring label_;
    std::wstring target_;
    HCURSOR handCursor_ = nullptr;
    HFONT linkFont_ = nullptr;
    HFONT normalFont_ = nullptr;
    RECT linkRect_{};
    HWND tooltip_ = nullptr;
    uint32_t linkColor_ = RGB(0, 0, 255);
    uint32_t visitedColor_ = RGB(128, 0, 128);
    uint32_t linkStyle_;
    uint8_t state_ = kPaintLabel;
};

}  // namespace kestran::ui
