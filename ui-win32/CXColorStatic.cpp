#include "ui-win32/CXColorStatic.h"

#include <vector>

#include "update/win32/WideText.h"

namespace {

const wchar_t* const kProperty = L"Tarvelin.CXColorStatic";

}  // namespace

std::string WindowTextUtf8(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    return Utf8FromWide(text.data(), static_cast<size_t>(copied));
}

void SetWindowTextUtf8(HWND window, const std::string& utf8) {
    SetWindowTextW(window, WideFromUtf8(utf8).c_str());
}

void SetTextIfOther(HWND window, const std::string& utf8) {
    if (WindowTextUtf8(window) != utf8) {
        SetWindowTextUtf8(window, utf8);
    }
}

void ShowIfOther(HWND window, bool visible) {
    if ((IsWindowVisible(window) != FALSE) != visible) {
        ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    }
}

COLORREF ColourRef(TextColour colour) {
    const ColourRgb rgb = Rgb(colour);
    return RGB(rgb.red, rgb.green, rgb.blue);
}

CXColorStatic::~CXColorStatic() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        RemovePropW(hwnd_, kProperty);
    }
    if (ownFont_ != nullptr) {
        DeleteObject(ownFont_);
    }
}

void CXColorStatic::Attach(HWND control) {
    hwnd_ = control;
    SetPropW(control, kProperty, this);
}

CXColorStatic* CXColorStatic::FromHandle(HWND control) {
    return static_cast<CXColorStatic*>(GetPropW(control, kProperty));
}

void CXColorStatic::SetTextColor(COLORREF color) {
    color_ = color;
    Redraw();
}

void CXColorStatic::SetBold(bool bold) {
    bold_ = bold;
    HFONT current = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (current == nullptr) {
        current = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    LOGFONTW description{};
    if (GetObjectW(current, sizeof(description), &description) == 0) {
        return;
    }
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    HFONT font = CreateFontIndirectW(&description);
    if (font == nullptr) {
        return;
    }
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (ownFont_ != nullptr) {
        DeleteObject(ownFont_);
    }
    ownFont_ = font;
    Redraw();
}

void CXColorStatic::Apply(const StyledText& state) {
    if (Text() != state.text) {
        SetText(state.text);
    }
    if (color_ != ColourRef(state.colour)) {
        SetTextColor(ColourRef(state.colour));
    }
    if (bold_ != state.bold || ownFont_ == nullptr) {
        SetBold(state.bold);
    }
    ShowIfOther(hwnd_, state.visible);
}

void CXColorStatic::SetText(const std::string& utf8) {
    SetWindowTextUtf8(hwnd_, utf8);
    Redraw();
}

std::string CXColorStatic::Text() const {
    return WindowTextUtf8(hwnd_);
}

void CXColorStatic::Show(bool visible) {
    ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
}

HBRUSH CXColorStatic::OnCtlColor(HDC dc) const {
    ::SetTextColor(dc, color_);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, OPAQUE);
    return GetSysColorBrush(COLOR_BTNFACE);
}

void CXColorStatic::Redraw() const {
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
