#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "update/ProcedureTexts.h"
#include "wizard/WizardState.h"

class CUpdaterPropertySheet;

// One page of the wizard: its dialog template in the wizard's language (not the one the system
// would pick), its header title and subtitle, and the notifications, which go to the sheet.
class CPropertyPage {
public:
    CPropertyPage(WizardPage page, int templateId, Language language, int headerTitle,
                  int headerSubtitle);
    virtual ~CPropertyPage() = default;
    CPropertyPage(const CPropertyPage&) = delete;
    CPropertyPage& operator=(const CPropertyPage&) = delete;

    // The page for PropertySheetW; null when the template is missing.
    HPROPSHEETPAGE CreatePage();
    HWND Handle() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    const std::wstring& HeaderTitle() const { return title_; }
    const std::wstring& HeaderSubtitle() const { return subtitle_; }

    CUpdaterPropertySheet* sheet = nullptr;

protected:
    virtual void OnInitDialog() {}
    // The wizard buttons this page allows when it is shown (PSWIZB_*); the sheet then sets
    // each as the wizard's state has it.
    virtual DWORD ShownButtons() const = 0;
    virtual void OnKillActive() {}
    virtual void OnCommand(int /*id*/, int /*code*/) {}

    const WizardPage page;
    const Language language;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    INT_PTR OnNotify(const NMHDR& header);

    const int templateId_;
    std::wstring title_;
    std::wstring subtitle_;
    HWND hwnd_ = nullptr;
};

// The dialog template `id` in `language`, as the program's resources hold it; null when absent.
const DLGTEMPLATE* DialogTemplate(int id, Language language);
