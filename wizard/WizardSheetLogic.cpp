#include "wizard/WizardSheetLogic.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/PageLabels.h"
#include "update/ProcedureVerdicts.h"
#include "update/ProcedureWaits.h"
#include "update/UpdateCodes.h"
#include "wizard/GuidanceTexts.h"
#include "wizard/TemplateTexts.h"

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SetStyled(StyledText& target, const std::string& text, bool errorStyle) {
    target.text = text;
    target.colour = errorStyle ? TextColour::Red : TextColour::Black;
    target.bold = errorStyle;
}

void Plain(StyledText& target) {
    target.colour = TextColour::Black;
    target.bold = false;
}

// Boxes 207 and 208 as the program shows them.
class ViewQuestions : public DiscoveryQuestions {
public:
    ViewQuestions(WizardView& view, Language language) : view_(view), language_(language) {}
    void CoderFileMissing() override {
        view_.ShowMessageBox(WizardView::Icon::Critical, WizardView::Buttons::Ok,
                             LoadText(100, language_), LoadText(207, language_));
    }
    bool ConfirmCoderOnly() override {
        return view_.ShowMessageBox(WizardView::Icon::Question, WizardView::Buttons::OkCancel,
                                    LoadText(100, language_),
                                    LoadText(208, language_)) == WizardView::Answer::Ok;
    }

private:
    WizardView& view_;
    Language language_;
};

// A folder as the discovery takes it: ending in one '/', without a trailing "/.".
std::string AsDirectory(std::string folder) {
    while (folder.size() > 1) {
        if (folder.ends_with("/.")) {
            folder.resize(folder.size() - 2);
        } else if (folder.back() == '/' || folder.back() == '\\') {
            folder.pop_back();
        } else {
            break;
        }
    }
    return folder.ends_with('/') ? folder : folder + "/";
}

}  // namespace

WizardSheetLogic::WizardSheetLogic(WizardView& view, SettingsStore& settings, Language language)
    : view_(view),
      settings_(settings),
      language_(language),
      connect_(settings, language),
      boxQuestions_(std::make_unique<ViewQuestions>(view, language)),
      clock_(SteadyMs),
      procedure_(std::make_unique<UpdateProcedure>(*this)) {
    questions_ = boxQuestions_.get();
    connect_.onChoiceEdited = [this] { view_.ScheduleIdle(); };
    // Frames reach the log through the procedure's message window, drained on the GUI thread.
    procedure_->logWindow->SetWakeup(
        [this] { view_.PostToGuiThread([this] { procedure_->logWindow->DispatchPending(); }); });

    // The texts of the page templates, the rest as every showing of a page begins.
    UpdatePageState& update = state_.update;
    update.stages[0].text = PageLabelText(PageLabel::Stage1, language);
    update.stages[1].text = PageLabelText(PageLabel::Stage2, language);
    update.stages[2].text = PageLabelText(PageLabel::Stage3, language);
    ResetInfoPage();
    ResetUpdatePage();
    state_.info.status.text = TemplateTextString(TemplateText::InfoConnecting, language);
    update.status.text = TemplateTextString(TemplateText::UpdateStarting, language);
    state_.buttons.endBackCaption = Text(218);
}

WizardSheetLogic::~WizardSheetLogic() {
    // Waits for a worker (only reachable when the sheet is torn down from outside, since
    // closing is refused while one runs); its late messages die with the view's queue.
    procedure_.reset();
}

void WizardSheetLogic::SetDiscoveryQuestions(DiscoveryQuestions* questions) {
    questions_ = questions != nullptr ? questions : boxQuestions_.get();
}

void WizardSheetLogic::SetButtonStates(bool back, bool next, bool cancel) {
    state_.buttons.back = back;
    state_.buttons.next = next;
    state_.buttons.cancel = cancel;
}

// ------------------------------------------------------------------ events of the view

void WizardSheetLogic::OnPageShown(WizardPage page) {
    state_.page = page;
    switch (page) {
        case WizardPage::Connect:
            connect_.OnSetActive();
            // Next waits for the idle moment, which looks for the firmware files first.
            SetButtonStates(false, false, true);
            view_.ScheduleIdle();
            break;
        case WizardPage::Info:
            SetButtonStates(true, false, false);
            ResetInfoPage();
            StartIdentification();
            break;
        case WizardPage::Update:
            SetButtonStates(false, false, false);
            ResetUpdatePage();
            StartFlashing();
            break;
    }
    view_.Render();
}

bool WizardSheetLogic::OnConnectPageLeft() {
    const bool left = connect_.OnKillActive();
    view_.Render();
    return left;
}

WizardSheetLogic::BackAction WizardSheetLogic::OnBackPressed() {
    if (state_.page == WizardPage::Update) {
        RestoreWizardButtons();
        return BackAction::Restart;
    }
    return BackAction::PreviousPage;
}

bool WizardSheetLogic::OnCloseRequested() {
    if (!procedure_->IsWorkerRunning()) {
        return true;
    }
    // Said on the page, not in a box: a modal box would only be one more thing to close.
    if (state_.page == WizardPage::Update) {
        state_.update.closeNote.text =
            GuidanceTextString(GuidanceText::CloseRefusedUpdating, language_);
        state_.update.closeNote.visible = true;
    } else if (state_.page == WizardPage::Info) {
        state_.info.closeNote.text =
            GuidanceTextString(GuidanceText::CloseRefusedIdentifying, language_);
        state_.info.closeNote.visible = true;
    }
    view_.Render();
    return false;
}

void WizardSheetLogic::OnKickIdle(bool windowShown) {
    if (state_.page != WizardPage::Connect || !windowShown) {
        return;
    }
    if (!discoveryDone_ && procedure_->m_versionToFlash.empty()) {
        discoveryDone_ = true;
        const std::string folder = FirmwareFolder();
        if (folder.empty()) {
            // No folder is no coder firmware.
            questions_->CoderFileMissing();
            view_.EndWizard();
            return;
        }
        // The log follows: beside the files, or in the state folder when that is read-only.
        procedure_->SetFirmwareDirectory(AsDirectory(folder));
        if (!procedure_->DiscoverFirmwareFiles(*questions_)) {
            view_.EndWizard();
            return;
        }
    }
    SetButtonStates(false, connect_.NextAllowed(), true);
    view_.Render();
}

std::string WizardSheetLogic::FirmwareFolder() {
    if (!startFolder_.empty()) {
        return startFolder_;
    }
    const std::string& programDirectory = GetProgramDirectory();
    if (!programDirectory.empty() && HoldsCoderFirmware(programDirectory)) {
        return programDirectory;
    }
    // An installed program has no firmware beside it: the user says where it is, starting
    // where they chose last time (the view's own start, the home folder, when never).
    const std::string last = settings_.ReadString(kFirmwareFolderValue, "");
    const std::string chosen =
        view_.ChooseFolder(GuidanceTextString(GuidanceText::ChooseFirmwareFolder, language_), last);
    if (!chosen.empty()) {
        settings_.WriteString(kFirmwareFolderValue, chosen);
    }
    return chosen;
}

void WizardSheetLogic::OnWaitTick() {
    const int64_t now = clock_();
    Tick(state_.info.wait, now);
    Tick(state_.update.wait, now);
    view_.Render();
}

void WizardSheetLogic::Tick(WaitLineState& line, int64_t now) {
    if (!line.active) {
        return;
    }
    const int64_t left = std::max<int64_t>(line.maxMs - (now - line.startMs), 0);
    line.text = WaitText(line.kind, language_, (left + 999) / 1000);
}

void WizardSheetLogic::ShowLogFile() {
    const std::string path = procedure_->LogPath();
    if (path.empty() || view_.OpenInDesktop(path)) {
        return;
    }
    // No viewer for text files on this desktop: the log is shown here instead of nowhere.
    view_.ShowLogWindow(path);
}

void WizardSheetLogic::RestoreWizardButtons() {
    // The Connect page follows; the next identification starts when the user presses Next.
    state_.buttons.endButtons = false;
    view_.Render();
}

// ------------------------------------------------------------------ the pages' starts

void WizardSheetLogic::ResetInfoPage() {
    InfoPageState& page = state_.info;
    Plain(page.status);
    page.detail.text.clear();
    Plain(page.detail);
    // A warning of an earlier run may stand where the instruction belongs.
    page.hint.text = TemplateTextString(TemplateText::InfoInstruction, language_);
    Plain(page.hint);
    page.versionLabels = false;
    page.hint.visible = false;
    page.currentVersion.visible = false;
    page.versionToFlash.visible = false;
    page.currentVersion.bold = true;
    page.versionToFlash.bold = true;
    page.closeNote.visible = false;
    page.wait = WaitLineState{};
}

void WizardSheetLogic::ResetUpdatePage() {
    UpdatePageState& page = state_.update;
    page.status.text.clear();
    Plain(page.status);
    page.detail.text.clear();
    page.detail.visible = false;
    page.failureNote.text.clear();
    page.failureNote.visible = false;
    for (StyledText& stage : page.stages) {
        stage.visible = false;
        stage.colour = TextColour::Grey;
    }
    page.stages[0].colour = TextColour::Black;
    page.progress.value = page.progress.minimum;
    page.progress.visible = false;
    page.newVersionLabel = false;
    page.newVersion.visible = false;
    page.newVersion.bold = true;
    page.showLogButton = false;
    page.noLogNote = false;
    page.closeNote.visible = false;
    page.wait = WaitLineState{};
}

void WizardSheetLogic::StartIdentification() {
    ConnectionChoice choice;
    choice.connectionType = connect_.connectionType;
    choice.serialPort = static_cast<uint16_t>(connect_.serialPort);
    choice.tcpAddress = connect_.tcpAddress;
    choice.tcpPort = static_cast<uint16_t>(connect_.tcpPort);
    procedure_->SetConnectionChoice(choice);

    SetStyled(state_.info.status, Text(201), false);
    SetButtonStates(false, false, false);
    procedure_->StartIdentification();
}

void WizardSheetLogic::StartFlashing() {
    // Without samples the DSP firmware is the second stage.
    const FlashPlan& plan = procedure_->Plan();
    if (plan.Stage(2) != nullptr) {
        state_.update.stages[1].text = plan.Label(2, language_);
    }
    state_.update.status.text = Text(procedure_->m_biosRunning ? 212 : 211);
    SetButtonStates(false, false, false);
    procedure_->StartFlashing();
}

// ------------------------------------------------------------------ the procedure's messages

void WizardSheetLogic::Post(uint32_t message, int64_t wParam, int64_t lParam) {
    view_.PostToGuiThread([this, message, wParam, lParam] { Dispatch(message, wParam, lParam); });
}

void WizardSheetLogic::SetIdentifyStatus(int textNumber) {
    view_.PostToGuiThread([this, textNumber] {
        state_.info.status.text = Text(textNumber);
        view_.Render();
    });
}

void WizardSheetLogic::Dispatch(uint32_t message, int64_t wParam, int64_t lParam) {
    ProgressState& progress = state_.update.progress;
    switch (message) {
        case WM_UPD_IDENTIFIED:
            OnIdentified(static_cast<int32_t>(wParam));
            break;
        case WM_UPD_STATUS:
            state_.update.status.text = Text(static_cast<int>(wParam));
            break;
        case WM_UPD_STAGE:
            OnStage(static_cast<int>(wParam));
            break;
        case WM_UPD_PROGRESS_RANGE:
            progress.minimum = static_cast<int>(wParam);
            progress.maximum = static_cast<int>(lParam);
            progress.value = progress.minimum;
            break;
        case WM_UPD_PROGRESS_STEP:
            if (progress.value < progress.maximum) {
                ++progress.value;
            }
            break;
        case WM_UPD_FINISHED:
            OnUpdateFinished(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            break;
        case WM_UPD_WAIT:
            OnWait(wParam, lParam);
            break;
        default:
            return;
    }
    view_.Render();
}

void WizardSheetLogic::OnIdentified(int32_t outcome) {
    // The worker ends right after its last message.
    procedure_->WaitForWorker();

    const IdentificationVerdict verdict =
        DecideIdentification(outcome, procedure_->StateForChecks(), language_);

    InfoPageState& page = state_.info;
    page.closeNote.visible = false;
    page.wait = WaitLineState{};
    if (verdict.status.changed) {
        SetStyled(page.status, verdict.status.text, verdict.status.errorStyle);
    }
    if (verdict.detail.changed) {
        SetStyled(page.detail, verdict.detail.text, verdict.detail.errorStyle);
        page.detail.visible = true;
    }
    page.versionLabels = verdict.showVersions;
    page.currentVersion.visible = verdict.showVersions;
    page.versionToFlash.visible = verdict.showVersions;
    page.hint.visible = verdict.showVersions;
    if (verdict.showVersions) {
        page.currentVersion.text = procedure_->m_currentVersion;
        page.versionToFlash.text = procedure_->m_versionToFlash;
    }
    if (verdict.hint.changed) {
        SetStyled(page.hint, verdict.hint.text, verdict.hint.errorStyle);
        page.hint.visible = true;
    }
    if (!verdict.mayGoOn) {
        ShowReasons(outcome);
    }
    SetButtonStates(true, verdict.mayGoOn, true);
}

void WizardSheetLogic::ShowReasons(int32_t outcome) {
    // "Could not connect to Coder!" alone leaves the user guessing: the reason the system gave
    // or what came back, and what to do, go below it, as the command line prints them.
    std::vector<std::string> reasons;
    const OpenFailure& failure = procedure_->m_openFailure;
    if (failure.failed() && (outcome == UPD_NO_BAUD_RATE || outcome == UPD_CONNECT_FAILED)) {
        reasons.push_back(OpenFailureReason(failure, language_));
        reasons.push_back(OpenFailureHint(failure, language_));
    }
    reasons.push_back(IdentificationReason(outcome, procedure_->Evidence(), language_));
    std::string text = state_.info.detail.text;
    bool added = false;
    for (const std::string& line : reasons) {
        if (line.empty()) {
            continue;
        }
        text += text.empty() ? line : "\n" + line;
        added = true;
    }
    if (!added) {
        return;
    }
    state_.info.detail.text = text;
    state_.info.detail.visible = true;
}

void WizardSheetLogic::OnStage(int stage) {
    UpdatePageState& page = state_.update;
    switch (stage) {
        case 1:
            page.stages[0].visible = true;
            page.stages[1].visible = procedure_->Plan().Stage(2) != nullptr;
            page.stages[2].visible = procedure_->Plan().Stage(3) != nullptr;
            page.progress.visible = true;
            break;
        case 2:
            page.stages[0].colour = TextColour::Grey;
            page.stages[1].colour = TextColour::Black;
            break;
        case 3:
            page.stages[1].colour = TextColour::Grey;
            page.stages[2].colour = TextColour::Black;
            break;
        case 4:
            for (StyledText& label : page.stages) {
                label.visible = false;
            }
            page.progress.visible = false;
            break;
        default:
            break;
    }
}

void WizardSheetLogic::OnUpdateFinished(int32_t result, int32_t lastBlockResult) {
    procedure_->WaitForWorker();
    UpdatePageState& page = state_.update;
    page.closeNote.visible = false;
    page.wait = WaitLineState{};
    if (result != UPD_OK) {
        SetStyled(page.status, Text(214), true);
        page.detail.text = UpdateResultText(result, lastBlockResult, language_);
        page.detail.visible = true;
        page.failureNote.text =
            FlashFailureNote(result, procedure_->EndState(), FrontEnd::Wizard, language_);
        page.failureNote.visible = !page.failureNote.text.empty();
        // Said in its place when no log could be written anywhere.
        if (procedure_->LogPath().empty()) {
            page.noLogNote = true;
        } else {
            page.showLogButton = true;
        }
    } else {
        procedure_->WriteLog("Update finished successfully.");
        procedure_->WriteLog("New firmware version:  " + procedure_->m_currentVersion);
        SetStyled(page.status, Text(215), false);
        page.newVersion.text = procedure_->m_currentVersion;
        page.newVersionLabel = true;
        page.newVersion.visible = true;
    }

    // "<< Start" where Next was, Finish where Cancel was.
    state_.buttons.endButtons = true;
    state_.buttons.back = true;
    state_.buttons.finish = true;
    // A TCP connection kept by the reconnection ends with the update.
    procedure_->m_handler.Close(0);
}

void WizardSheetLogic::OnWait(int64_t kind, int64_t maxMs) {
    WaitLineState* line = state_.page == WizardPage::Update ? &state_.update.wait
                          : state_.page == WizardPage::Info ? &state_.info.wait
                                                            : nullptr;
    if (line == nullptr) {
        return;
    }
    if (kind == WAIT_NONE) {
        *line = WaitLineState{};
        return;
    }
    line->active = true;
    line->kind = kind;
    line->maxMs = std::max<int64_t>(maxMs, 0);
    line->startMs = clock_();
    Tick(*line, line->startMs);
}
