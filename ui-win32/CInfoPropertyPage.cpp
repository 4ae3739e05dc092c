#include "ui-win32/CInfoPropertyPage.h"

#include "ui-win32/resource.h"
#include "update/PageLabels.h"

namespace {

RECT PlaceInParent(HWND parent, HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

}  // namespace

CInfoPropertyPage::CInfoPropertyPage(Language language)
    : CPropertyPage(WizardPage::Info, IDD_INFO, language, 101, 103) {}

void CInfoPropertyPage::OnInitDialog() {
    status.Attach(Item(IDC_INFO_STATUS));
    detail.Attach(Item(IDC_INFO_DETAIL));
    hint.Attach(Item(IDC_INFO_HINT));
    currentVersion.Attach(Item(IDC_INFO_CURRENT));
    versionToFlash.Attach(Item(IDC_INFO_TO_FLASH));
    closeNote.Attach(Item(IDC_CLOSE_NOTE));
    waitLine.Attach(Item(IDC_WAIT_BAR), Item(IDC_WAIT_TEXT));
    SetTextIfOther(Item(IDC_INFO_CURRENT_LABEL),
                   PageLabelText(PageLabel::CurrentVersion, language));
    SetTextIfOther(Item(IDC_INFO_FLASH_LABEL), PageLabelText(PageLabel::VersionToFlash, language));
    detailPlace_ = PlaceInParent(Handle(), detail.Handle());
    extendedBottom_ = PlaceInParent(Handle(), hint.Handle()).bottom;
}

void CInfoPropertyPage::Render(const InfoPageState& state) {
    if (Handle() == nullptr) {
        return;
    }
    // The reasons below a refusal may take the room of the versions and the hint, which are
    // hidden then.
    const bool roomBelow = !state.versionLabels && !state.hint.visible;
    const int bottom = roomBelow ? extendedBottom_ : detailPlace_.bottom;
    if (PlaceInParent(Handle(), detail.Handle()).bottom != bottom) {
        SetWindowPos(detail.Handle(), nullptr, 0, 0, detailPlace_.right - detailPlace_.left,
                     bottom - detailPlace_.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    status.Apply(state.status);
    detail.Apply(state.detail);
    hint.Apply(state.hint);
    currentVersion.Apply(state.currentVersion);
    versionToFlash.Apply(state.versionToFlash);
    closeNote.Apply(state.closeNote);
    ShowIfOther(Item(IDC_INFO_CURRENT_LABEL), state.versionLabels);
    ShowIfOther(Item(IDC_INFO_FLASH_LABEL), state.versionLabels);
    waitLine.Apply(state.wait);
}
