#include "ui-win32/CWaitLine.h"

#include <commctrl.h>

#include <algorithm>

#include "ui-win32/CXColorStatic.h"
#include "update/ProcedureWaits.h"

namespace {

// A few ticks a second keep the count within a fraction of a second of the truth.
constexpr UINT kTickMs = 200;
constexpr UINT kMarqueeMs = 40;

}  // namespace

void CWaitLine::Attach(HWND page, HWND bar, HWND text) {
    page_ = page;
    bar_ = bar;
    text_ = text;
}

void CWaitLine::Wait(int64_t kind, int64_t maxMs) {
    if (kind == 0) {
        Stop();
        return;
    }
    kind_ = kind;
    maxMs_ = std::max<int64_t>(maxMs, 0);
    started_ = GetTickCount64();
    Tick();
    SendMessageW(bar_, PBM_SETMARQUEE, TRUE, kMarqueeMs);
    ShowWindow(bar_, SW_SHOW);
    ShowWindow(text_, SW_SHOW);
    SetTimer(page_, kTimerId, kTickMs, nullptr);
}

void CWaitLine::Stop() {
    kind_ = 0;
    if (page_ == nullptr) {
        return;
    }
    KillTimer(page_, kTimerId);
    SendMessageW(bar_, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(bar_, SW_HIDE);
    ShowWindow(text_, SW_HIDE);
    SetWindowTextW(text_, L"");
}

void CWaitLine::Tick() {
    if (kind_ == 0) {
        return;
    }
    const int64_t elapsed = static_cast<int64_t>(GetTickCount64() - started_);
    const int64_t left = std::max<int64_t>(maxMs_ - elapsed, 0);
    const std::string now = WaitText(kind_, language_, (left + 999) / 1000);
    if (now != WindowTextUtf8(text_)) {
        SetWindowTextUtf8(text_, now);
    }
}

std::string CWaitLine::Text() const {
    return WindowTextUtf8(text_);
}
