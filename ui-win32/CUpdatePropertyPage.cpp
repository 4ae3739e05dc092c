#include "ui-win32/CUpdatePropertyPage.h"

#include <commctrl.h>

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/resource.h"

namespace {

const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGrey = RGB(128, 128, 128);

}  // namespace

CUpdatePropertyPage::CUpdatePropertyPage(Language language)
    : CPropertyPage(IDD_UPDATE, language, 101, 104), waitLine(language) {}

HWND CUpdatePropertyPage::Progress() const {
    return Item(IDC_PROGRESS);
}

void CUpdatePropertyPage::OnInitDialog() {
    status.Attach(Item(IDC_UPDATE_STATUS));
    detail.Attach(Item(IDC_UPDATE_DETAIL));
    stage1.Attach(Item(IDC_STAGE1));
    stage2.Attach(Item(IDC_STAGE2));
    stage3.Attach(Item(IDC_STAGE3));
    newVersion.Attach(Item(IDC_NEW_VERSION));
    failureNote.Attach(Item(IDC_FAILURE_NOTE));
    noLogNote.Attach(Item(IDC_NO_LOG_NOTE));
    closeNote.Attach(Item(IDC_CLOSE_NOTE));
    waitLine.Attach(Handle(), Item(IDC_WAIT_BAR), Item(IDC_WAIT_TEXT));
}

void CUpdatePropertyPage::OnSetActive() {
    SendMessageW(GetParent(Handle()), PSM_SETWIZBUTTONS, 0, 0);
    status.SetText("");
    status.SetBold(false);
    status.SetTextColor(kBlack);
    detail.SetText("");
    detail.Show(false);
    failureNote.SetText("");
    failureNote.Show(false);
    stage1.Show(false);
    stage1.SetTextColor(kBlack);
    stage2.Show(false);
    stage2.SetTextColor(kGrey);
    stage3.Show(false);
    stage3.SetTextColor(kGrey);
    SendMessageW(Progress(), PBM_SETPOS, 0, 0);
    ShowWindow(Progress(), SW_HIDE);
    ShowWindow(Item(IDC_NEW_VERSION_LABEL), SW_HIDE);
    newVersion.Show(false);
    newVersion.SetBold(true);
    ShowWindow(Item(IDC_SHOW_LOG), SW_HIDE);
    noLogNote.Show(false);
    closeNote.Show(false);
    waitLine.Stop();
    sheet->StartFlashing();
}

LRESULT CUpdatePropertyPage::OnWizardBack() {
    // "<< Start": the Connect page, which the sheet makes current; the wizard stays here
    // until it does.
    sheet->RestoreWizardButtons();
    return -1;
}

void CUpdatePropertyPage::OnCommand(int id, int code) {
    if (id == IDC_SHOW_LOG && code == BN_CLICKED) {
        sheet->ShowLogFile();
    }
}

void CUpdatePropertyPage::OnTimer(UINT_PTR id) {
    if (id == CWaitLine::kTimerId) {
        waitLine.Tick();
    }
}
