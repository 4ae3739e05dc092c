#include "ui-win32/CWizard97PropertySheet.h"

#include <commctrl.h>
#include <prsht.h>

#include "ui-win32/CPropertyPage.h"
#include "ui-win32/resource.h"
#include "update/win32/WideText.h"

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr int kBatch = 64;
// The sheet being made: its callback has no other way to find it.
thread_local CWizard97PropertySheet* creating = nullptr;

int Scaled(HWND window, int pixels) {
    return MulDiv(pixels, static_cast<int>(GetDpiForWindow(window)), USER_DEFAULT_SCREEN_DPI);
}

}  // namespace

CWizard97PropertySheet::CWizard97PropertySheet(int captionText, Language language)
    : language(language), caption_(WideFromUtf8(LoadText(captionText, language))) {}

CWizard97PropertySheet::~CWizard97PropertySheet() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (headerBitmap_ != nullptr) {
        DeleteObject(headerBitmap_);
    }
    if (titleFont_ != nullptr) {
        DeleteObject(titleFont_);
    }
}

bool CWizard97PropertySheet::AttachHeaderBitmap() {
    headerBitmap_ =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_HEADER),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return headerBitmap_ != nullptr;
}

bool CWizard97PropertySheet::Create(const std::vector<CPropertyPage*>& pages) {
    pages_ = pages;
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* page : pages) {
        HPROPSHEETPAGE handle = page->CreatePage();
        if (handle == nullptr) {
            for (HPROPSHEETPAGE made : handles) {
                DestroyPropertySheetPage(made);
            }
            return false;
        }
        handles.push_back(handle);
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD97 | PSH_MODELESS | PSH_USECALLBACK | PSH_USEICONID;
    if (HasHeaderBitmap()) {
        // The band is reserved; the picture is ours to paint (see PaintHeader).
        header.dwFlags |= PSH_HEADER | PSH_USEHBMHEADER;
        header.hbmHeader = nullptr;
    }
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszIcon = MAKEINTRESOURCEW(IDI_TARVELIN);
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.phpage = handles.data();
    header.pfnCallback = SheetCallback;
    creating = this;
    const INT_PTR made = PropertySheetW(&header);
    creating = nullptr;
    if (made <= 0 || hwnd_ == nullptr) {
        hwnd_ = nullptr;
        return false;
    }
    SetWindowTextW(hwnd_, caption_.c_str());
    return true;
}

int CALLBACK CWizard97PropertySheet::SheetCallback(HWND window, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && creating != nullptr) {
        creating->hwnd_ = window;
        SetWindowSubclass(window, SubclassProcedure, kSubclassId,
                          reinterpret_cast<DWORD_PTR>(creating));
    }
    return 0;
}

LRESULT CALLBACK CWizard97PropertySheet::SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                                           LPARAM lParam, UINT_PTR,
                                                           DWORD_PTR self) {
    auto* sheet = reinterpret_cast<CWizard97PropertySheet*>(self);
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SubclassProcedure, kSubclassId);
        sheet->hwnd_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_PAINT && sheet->PaintHeader()) {
        return 0;
    }
    bool handled = false;
    const LRESULT result = sheet->WindowProc(message, wParam, lParam, handled);
    return handled ? result : DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CWizard97PropertySheet::WindowProc(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

int CWizard97PropertySheet::ActivePage() const {
    if (hwnd_ == nullptr) {
        return -1;
    }
    HWND page = PropSheet_GetCurrentPageHwnd(hwnd_);
    return page == nullptr ? -1 : static_cast<int>(PropSheet_HwndToIndex(hwnd_, page));
}

bool CWizard97PropertySheet::PaintHeader() {
    const int active = ActivePage();
    HWND divider = GetDlgItem(hwnd_, kHeaderDivider);
    if (!HasHeaderBitmap() || active < 0 || active >= static_cast<int>(pages_.size()) ||
        divider == nullptr) {
        return false;
    }
    RECT line{};
    GetWindowRect(divider, &line);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&line), 2);
    RECT band{};
    GetClientRect(hwnd_, &band);
    band.bottom = line.top - 1;

    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd_, &paint);
    BITMAP picture{};
    GetObjectW(headerBitmap_, sizeof(picture), &picture);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, headerBitmap_);
    const int width = band.right - band.left;
    const int height = band.bottom - band.top;
    if (width == picture.bmWidth && height == picture.bmHeight) {
        BitBlt(dc, band.left, band.top, width, height, memory, 0, 0, SRCCOPY);
    } else {
        const int mode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, band.left, band.top, width, height, memory, 0, 0, picture.bmWidth,
                   picture.bmHeight, SRCCOPY);
        SetStretchBltMode(dc, mode);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);

    // Title in bold, the subtitle indented below it, as the common controls place them.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    if (titleFont_ == nullptr && font != nullptr) {
        LOGFONTW description{};
        GetObjectW(font, sizeof(description), &description);
        description.lfWeight = FW_BOLD;
        titleFont_ = CreateFontIndirectW(&description);
    }
    const CPropertyPage& page = *pages_[static_cast<size_t>(active)];
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ oldFont = SelectObject(dc, titleFont_ != nullptr ? titleFont_ : font);
    RECT title{band.left + Scaled(hwnd_, 20), band.top + Scaled(hwnd_, 10), band.right,
               band.bottom};
    DrawTextW(dc, page.HeaderTitle().c_str(), -1, &title, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    DrawTextW(dc, page.HeaderTitle().c_str(), -1, &title, DT_LEFT | DT_SINGLELINE);
    SelectObject(dc, font);
    RECT subtitle{band.left + Scaled(hwnd_, 40), title.bottom + Scaled(hwnd_, 5),
                  band.right - Scaled(hwnd_, 100), band.bottom};
    DrawTextW(dc, page.HeaderSubtitle().c_str(), -1, &subtitle, DT_LEFT | DT_WORDBREAK);
    SelectObject(dc, oldFont);
    EndPaint(hwnd_, &paint);
    return true;
}

void CWizard97PropertySheet::Dispatch(MSG& message) {
    if (PreTranslate(message)) {
        return;
    }
    if (hwnd_ != nullptr && PropSheet_IsDialogMessage(hwnd_, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void CWizard97PropertySheet::EndIfClosed() {
    // A modeless sheet has no page once Finish or Cancel closed it.
    if (hwnd_ != nullptr && (quit_ || PropSheet_GetCurrentPageHwnd(hwnd_) == nullptr)) {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

bool CWizard97PropertySheet::ProcessMessages(DWORD waitMs) {
    MSG message{};
    while (hwnd_ != nullptr) {
        // A worker posts faster than some turns take: the caller gets control back after a
        // batch even when the queue never runs empty.
        int dispatched = 0;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit_ = true;
                break;
            }
            Dispatch(message);
            idlePending_ = true;
            EndIfClosed();
            if (hwnd_ == nullptr) {
                return false;
            }
            if (++dispatched == kBatch) {
                return true;
            }
        }
        EndIfClosed();
        if (hwnd_ == nullptr) {
            return false;
        }
        if (idlePending_) {
            idlePending_ = false;
            OnKickIdle();
            continue;  // the idle work may have queued something
        }
        if (waitMs == 0) {
            return true;
        }
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_TIMEOUT) {
            return hwnd_ != nullptr;
        }
        // Something came: the next turn takes it, and returns to the caller after it.
        waitMs = 0;
    }
    return false;
}

void CWizard97PropertySheet::RunModal() {
    while (ProcessMessages(INFINITE)) {
    }
}
