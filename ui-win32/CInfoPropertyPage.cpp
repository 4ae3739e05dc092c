#include "ui-win32/CInfoPropertyPage.h"

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/resource.h"

CInfoPropertyPage::CInfoPropertyPage(Language language)
    : CPropertyPage(IDD_INFO, language, 101, 103), waitLine(language) {}

void CInfoPropertyPage::OnInitDialog() {
    status.Attach(Item(IDC_INFO_STATUS));
    detail.Attach(Item(IDC_INFO_DETAIL));
    hint.Attach(Item(IDC_INFO_HINT));
    currentVersion.Attach(Item(IDC_INFO_CURRENT));
    versionToFlash.Attach(Item(IDC_INFO_TO_FLASH));
    closeNote.Attach(Item(IDC_CLOSE_NOTE));
    waitLine.Attach(Handle(), Item(IDC_WAIT_BAR), Item(IDC_WAIT_TEXT));
    // A warning of an earlier run may stand where the instruction belongs.
    instruction_ = hint.Text();
    GetWindowRect(detail.Handle(), &detailPlace_);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&detailPlace_), 2);
}

void CInfoPropertyPage::ExtendDetail() {
    RECT hintPlace{};
    GetWindowRect(hint.Handle(), &hintPlace);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&hintPlace), 2);
    SetWindowPos(detail.Handle(), nullptr, 0, 0, detailPlace_.right - detailPlace_.left,
                 hintPlace.bottom - detailPlace_.top, SWP_NOMOVE | SWP_NOZORDER);
}

void CInfoPropertyPage::OnSetActive() {
    // Sent, not posted: the identification starts below, and no button may work until it
    // reports.
    SendMessageW(GetParent(Handle()), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK);
    status.SetTextColor(RGB(0, 0, 0));
    status.SetBold(false);
    SetWindowPos(detail.Handle(), nullptr, 0, 0, detailPlace_.right - detailPlace_.left,
                 detailPlace_.bottom - detailPlace_.top, SWP_NOMOVE | SWP_NOZORDER);
    detail.SetText("");
    detail.SetTextColor(RGB(0, 0, 0));
    detail.SetBold(false);
    hint.SetText(instruction_);
    hint.SetTextColor(RGB(0, 0, 0));
    hint.SetBold(false);
    for (int id : {IDC_INFO_CURRENT_LABEL, IDC_INFO_FLASH_LABEL, IDC_INFO_HINT, IDC_INFO_CURRENT,
                   IDC_INFO_TO_FLASH}) {
        ShowWindow(Item(id), SW_HIDE);
    }
    currentVersion.SetBold(true);
    versionToFlash.SetBold(true);
    closeNote.Show(false);
    waitLine.Stop();
    sheet->StartIdentification();
}

void CInfoPropertyPage::OnTimer(UINT_PTR id) {
    if (id == CWaitLine::kTimerId) {
        waitLine.Tick();
    }
}
