#include "ui-win32/CMaskEdit.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr size_t kMaxValidChars = 255;
constexpr wchar_t kBackspace = 8;
constexpr wchar_t kCtrlV = 22;
constexpr wchar_t kCtrlX = 24;
// Ctrl+C copies here as in any edit control.
constexpr wchar_t kCtrlC = 3;

}  // namespace

CMaskEdit::~CMaskEdit() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        RemoveWindowSubclass(hwnd_, Procedure, kSubclassId);
    }
}

void CMaskEdit::Attach(HWND edit) {
    hwnd_ = edit;
    SetWindowSubclass(edit, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void CMaskEdit::SetValidChars(const std::wstring& chars) {
    if (chars.empty()) {
        return;
    }
    validChars_ = chars.substr(0, kMaxValidChars);
    validCharsActive_ = true;
}

bool CMaskEdit::Passes(wchar_t c) const {
    if (!validCharsActive_ || c == kBackspace || c == kCtrlX || c == kCtrlV || c == kCtrlC) {
        return true;
    }
    return validChars_.find(c) != std::wstring::npos;
}

LRESULT CALLBACK CMaskEdit::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
    if (message == WM_CHAR &&
        !reinterpret_cast<CMaskEdit*>(self)->Passes(static_cast<wchar_t>(wParam))) {
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, Procedure, kSubclassId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
