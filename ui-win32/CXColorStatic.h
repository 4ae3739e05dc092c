#pragma once

#include <windows.h>

#include <string>

#include "wizard/WizardState.h"

// A static text whose colour and weight the sheet changes to show progress and failures. The
// page answers the control's WM_CTLCOLORSTATIC with OnCtlColor; the background is painted
// opaque in the page's colour, so a shorter text never leaves the longer one's rest behind.
class CXColorStatic {
public:
    CXColorStatic() = default;
    ~CXColorStatic();
    CXColorStatic(const CXColorStatic&) = delete;
    CXColorStatic& operator=(const CXColorStatic&) = delete;

    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }

    // Both redraw at once, so a change shows even while the thread is busy right after.
    void SetTextColor(COLORREF color);
    // Keeps the control's font and changes only its weight (700 or 400).
    void SetBold(bool bold);
    COLORREF TextColor() const { return color_; }
    bool Bold() const { return bold_; }

    // Text, colour, weight and visibility as the wizard's state has them; only what differs
    // is changed.
    void Apply(const StyledText& state);

    void SetText(const std::string& utf8);
    std::string Text() const;
    void Show(bool visible);

    HBRUSH OnCtlColor(HDC dc) const;
    // The control's object, when `control` was attached to one.
    static CXColorStatic* FromHandle(HWND control);

private:
    void Redraw() const;

    HWND hwnd_ = nullptr;
    COLORREF color_ = RGB(0, 0, 0);
    bool bold_ = false;
    HFONT ownFont_ = nullptr;
};

COLORREF ColourRef(TextColour colour);

// The text of any window as UTF-8, and setting it; SetTextIfOther leaves a window that shows
// the text already alone (no flicker, no change notification, the caret stays).
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& utf8);
void SetTextIfOther(HWND window, const std::string& utf8);
void ShowIfOther(HWND window, bool visible);
