#include "ui-win32/CWaitLine.h"

#include <commctrl.h>

#include "ui-win32/CXColorStatic.h"

namespace {

constexpr UINT kMarqueeMs = 40;

}  // namespace

void CWaitLine::Attach(HWND bar, HWND text) {
    bar_ = bar;
    text_ = text;
}

void CWaitLine::Apply(const WaitLineState& state) {
    SetTextIfOther(text_, state.active ? state.text : std::string());
    if (state.active != Shown()) {
        SendMessageW(bar_, PBM_SETMARQUEE, state.active ? TRUE : FALSE, kMarqueeMs);
        ShowWindow(bar_, state.active ? SW_SHOW : SW_HIDE);
        ShowWindow(text_, state.active ? SW_SHOW : SW_HIDE);
    }
}

bool CWaitLine::Shown() const {
    return IsWindowVisible(bar_) != FALSE;
}

std::string CWaitLine::Text() const {
    return WindowTextUtf8(text_);
}
