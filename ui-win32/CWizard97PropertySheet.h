#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "update/ProcedureTexts.h"

class CPropertyPage;

// A modeless property sheet in the Wizard97 manner with the program's own message loop, so
// that the idle moment can be acted on. It paints its header band itself: the header picture
// stretched smoothly to the band (copied 1:1 when it fits) with the page's title and subtitle
// over it, where the common controls would paint a plain band or a small picture.
class CWizard97PropertySheet {
public:
    // The wizard buttons, as the common controls number them.
    static constexpr int kBack = 0x3023;
    static constexpr int kNext = 0x3024;
    static constexpr int kFinish = 0x3025;
    static constexpr int kCancel = IDCANCEL;
    static constexpr int kHeaderDivider = 0x3027;

    CWizard97PropertySheet(int captionText, Language language);
    virtual ~CWizard97PropertySheet();
    CWizard97PropertySheet(const CWizard97PropertySheet&) = delete;
    CWizard97PropertySheet& operator=(const CWizard97PropertySheet&) = delete;

    // Loads bitmap 136; without it no header band is painted.
    bool AttachHeaderBitmap();
    bool HasHeaderBitmap() const { return headerBitmap_ != nullptr; }

    // Makes the window with these pages, the first one active; false when it could not.
    bool Create(const std::vector<CPropertyPage*>& pages);
    HWND Handle() const { return hwnd_; }
    bool IsOpen() const { return hwnd_ != nullptr; }
    HWND Button(int id) const { return GetDlgItem(hwnd_, id); }
    // The index of the page shown, -1 when none.
    int ActivePage() const;

    // Dispatches what is queued (returning after a batch when more keeps coming), then, once
    // the queue has run empty after a message, runs OnKickIdle, then waits for the next message
    // at most `waitMs` (INFINITE: until one comes). Ends the window when it was closed. False
    // once it is gone.
    bool ProcessMessages(DWORD waitMs);
    // Until the window is gone.
    void RunModal();
    // OnKickIdle at the next idle moment, even when no message came since the last one.
    void RequestIdle() { idlePending_ = true; }
    // Ends the window at the next turn of the loop, without a Finish.
    void End() { quit_ = true; }

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual void OnKickIdle() {}
    // True when another window of the program took the message (a modeless window's keys).
    virtual bool PreTranslate(MSG& /*message*/) { return false; }

    const Language language;
    std::vector<CPropertyPage*> pages_;

private:
    static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    bool PaintHeader();
    void Dispatch(MSG& message);
    void EndIfClosed();

    const std::wstring caption_;
    HWND hwnd_ = nullptr;
    HBITMAP headerBitmap_ = nullptr;
    HFONT titleFont_ = nullptr;
    bool idlePending_ = true;
    bool quit_ = false;
};
