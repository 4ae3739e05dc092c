#include "ui-win32/CUpdatePropertyPage.h"

#include <commctrl.h>

#include "ui-win32/CUpdaterPropertySheet.h"
#include "ui-win32/resource.h"
#include "update/PageLabels.h"
#include "wizard/GuidanceTexts.h"
#include "wizard/TemplateTexts.h"

CUpdatePropertyPage::CUpdatePropertyPage(Language language)
    : CPropertyPage(WizardPage::Update, IDD_UPDATE, language, 101, 104) {}

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
    noLogNote.SetText(GuidanceTextString(GuidanceText::NoLogFile, language));
    closeNote.Attach(Item(IDC_CLOSE_NOTE));
    waitLine.Attach(Item(IDC_WAIT_BAR), Item(IDC_WAIT_TEXT));
    SetTextIfOther(Item(IDC_NEW_VERSION_LABEL), PageLabelText(PageLabel::NewVersion, language));
    SetTextIfOther(Item(IDC_SHOW_LOG), TemplateTextString(TemplateText::ShowLogFile, language));
    SendMessageW(Progress(), PBM_SETRANGE32, rangeMinimum_, rangeMaximum_);
}

void CUpdatePropertyPage::Render(const UpdatePageState& state) {
    if (Handle() == nullptr) {
        return;
    }
    status.Apply(state.status);
    detail.Apply(state.detail);
    failureNote.Apply(state.failureNote);
    stage1.Apply(state.stages[0]);
    stage2.Apply(state.stages[1]);
    stage3.Apply(state.stages[2]);
    HWND bar = Progress();
    if (state.progress.minimum != rangeMinimum_ || state.progress.maximum != rangeMaximum_) {
        rangeMinimum_ = state.progress.minimum;
        rangeMaximum_ = state.progress.maximum;
        // The 32-bit range: a large file's block count does not fit the classic 16 bits.
        SendMessageW(bar, PBM_SETRANGE32, rangeMinimum_, rangeMaximum_);
    }
    if (SendMessageW(bar, PBM_GETPOS, 0, 0) != state.progress.value) {
        SendMessageW(bar, PBM_SETPOS, state.progress.value, 0);
    }
    ShowIfOther(bar, state.progress.visible);
    ShowIfOther(Item(IDC_NEW_VERSION_LABEL), state.newVersionLabel);
    newVersion.Apply(state.newVersion);
    ShowIfOther(Item(IDC_SHOW_LOG), state.showLogButton);
    ShowIfOther(noLogNote.Handle(), state.noLogNote);
    closeNote.Apply(state.closeNote);
    waitLine.Apply(state.wait);
}

void CUpdatePropertyPage::OnCommand(int id, int code) {
    if (id == IDC_SHOW_LOG && code == BN_CLICKED) {
        sheet->Logic().ShowLogFile();
    }
}
