#include "ui-win32/CLogWindow.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/CXColorStatic.h"
#include "ui-win32/resource.h"
#include "update/Utf8Path.h"
#include "update/win32/WideText.h"
#include "wizard/GuidanceTexts.h"

CLogWindow::CLogWindow(Language language, HWND owner) : language_(language) {
    hwnd_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), DialogTemplate(IDD_LOG, language),
                                       owner, DialogProcedure, reinterpret_cast<LPARAM>(this));
    if (hwnd_ == nullptr) {
        return;
    }
    SetWindowTextUtf8(hwnd_, GuidanceTextString(GuidanceText::LogWindowTitle, language) + " - " +
                                 LoadText(100, language));
    SetWindowTextUtf8(GetDlgItem(hwnd_, IDC_LOG_NOTE),
                      GuidanceTextString(GuidanceText::LogShownHere, language));
    SetWindowTextUtf8(GetDlgItem(hwnd_, IDC_LOG_COPY_PATH),
                      GuidanceTextString(GuidanceText::CopyLogPath, language));
    monospace_ =
        CreateFontW(-MulDiv(9, static_cast<int>(GetDpiForWindow(hwnd_)), 72), 0, 0, 0, FW_NORMAL,
                    FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    SendDlgItemMessageW(hwnd_, IDC_LOG_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(monospace_),
                        FALSE);
}

CLogWindow::~CLogWindow() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (monospace_ != nullptr) {
        DeleteObject(monospace_);
    }
}

bool CLogWindow::ShowFile(const std::string& path) {
    path_ = path;
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    std::string text;
    bool readable = static_cast<bool>(file);
    if (readable) {
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } else {
        text = GuidanceTextString(GuidanceText::LogUnreadable, language_);
        text.replace(text.find("%1"), 2, path);
    }
    // The log is ASCII but for device texts; bytes that are no UTF-8 are taken as the ANSI
    // code page's.
    std::wstring wide = WideFromUtf8(text);
    if (wide.empty() && !text.empty()) {
        const int length =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        wide.resize(static_cast<size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
    }
    HWND edit = GetDlgItem(hwnd_, IDC_LOG_TEXT);
    SetWindowTextW(edit, wide.c_str());
    // The end of the log is where a failure is told.
    const LRESULT end = GetWindowTextLengthW(edit);
    SendMessageW(edit, EM_SETSEL, end, end);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    return readable;
}

std::string CLogWindow::Text() const {
    return WindowTextUtf8(GetDlgItem(hwnd_, IDC_LOG_TEXT));
}

void CLogWindow::CopyPath() const {
    const std::wstring path = WideFromUtf8(path_);
    if (!OpenClipboard(hwnd_)) {
        return;
    }
    EmptyClipboard();
    const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory != nullptr) {
        void* target = GlobalLock(memory);
        memcpy(target, path.c_str(), bytes);
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

INT_PTR CALLBACK CLogWindow::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    }
    auto* self = reinterpret_cast<CLogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                ShowWindow(window, SW_HIDE);
                return TRUE;
            }
            if (LOWORD(wParam) == IDC_LOG_COPY_PATH) {
                self->CopyPath();
                return TRUE;
            }
            return FALSE;
        case WM_SIZE: {
            // The text takes what the window gains; the buttons keep to the bottom.
            RECT client{};
            GetClientRect(window, &client);
            RECT margin{7, 7, 0, 0};
            MapDialogRect(window, &margin);
            RECT button{};
            GetWindowRect(GetDlgItem(window, IDCANCEL), &button);
            const int buttonHeight = button.bottom - button.top;
            const int buttonWidth = button.right - button.left;
            RECT edit{};
            GetWindowRect(GetDlgItem(window, IDC_LOG_TEXT), &edit);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&edit), 2);
            const int bottom = client.bottom - margin.top - buttonHeight;
            SetWindowPos(GetDlgItem(window, IDC_LOG_TEXT), nullptr, 0, 0,
                         client.right - 2 * margin.left, bottom - margin.top - edit.top,
                         SWP_NOMOVE | SWP_NOZORDER);
            SetWindowPos(GetDlgItem(window, IDC_LOG_COPY_PATH), nullptr, margin.left, bottom, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER);
            SetWindowPos(GetDlgItem(window, IDCANCEL), nullptr,
                         client.right - margin.left - buttonWidth, bottom, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER);
            return TRUE;
        }
        default:
            return FALSE;
    }
}
