#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "update/FirmwareFiles.h"
#include "update/ProcedureSink.h"
#include "update/ProcedureTexts.h"
#include "update/UpdateProcedure.h"
#include "wizard/ConnectPageLogic.h"
#include "wizard/SettingsStore.h"
#include "wizard/WizardState.h"
#include "wizard/WizardView.h"

// What the wizard sheet decides, for every front end: which page is shown with which texts in
// which colours, which buttons work, what each message of the procedure does, when the wizard
// may close, where the firmware files are and how the log is shown. It owns the procedure and
// is its sink: the workers' posts reach the view's GUI thread through PostToGuiThread, in
// posting order, and are handled there. An event that changes the state ends with
// WizardView::Render; all events come on the GUI thread.
class WizardSheetLogic : public ProcedureSink {
public:
    WizardSheetLogic(WizardView& view, SettingsStore& settings, Language language);
    // Waits for a worker: the procedure is never destroyed under it.
    ~WizardSheetLogic() override;

    const WizardState& State() const { return state_; }
    ConnectPageLogic& Connect() { return connect_; }
    UpdateProcedure& Procedure() { return *procedure_; }
    Language GetLanguage() const { return language_; }

    // The folder of the firmware files given at start (absolute); without one the program
    // directory is used when it holds a coder firmware, and otherwise the user chooses.
    void SetStartFolder(const std::string& folder) { startFolder_ = folder; }
    // The boxes the firmware discovery shows; by default the view's message boxes.
    void SetDiscoveryQuestions(DiscoveryQuestions* questions);
    // Milliseconds on a steady clock, for the countdowns of the busy lines.
    void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

    // Events of the view.
    void OnPageShown(WizardPage page);
    // Next on the Connect page: stores the choice; never refuses.
    bool OnConnectPageLeft();
    enum class BackAction { PreviousPage, Restart };
    // Back, or "<< Start" in the end state, which restores the buttons first.
    BackAction OnBackPressed();
    // The close box, Escape, Cancel or Finish: false while a worker runs, and the page says why.
    bool OnCloseRequested();
    // The idle moment; `windowShown`: the wizard's window is on the screen.
    void OnKickIdle(bool windowShown);
    // Some time passed while a busy line shows: its countdown. A view calls it a few times a
    // second while the state has an active wait line.
    void OnWaitTick();
    // "Show log file...".
    void ShowLogFile();
    void RestoreWizardButtons();

    // ProcedureSink: called on the worker thread.
    void Post(uint32_t message, int64_t wParam, int64_t lParam) override;
    void SetIdentifyStatus(int textNumber) override;

    // On the GUI thread, in posting order.
    void Dispatch(uint32_t message, int64_t wParam, int64_t lParam);

private:
    void SetButtonStates(bool back, bool next, bool cancel);
    void ResetInfoPage();
    void ResetUpdatePage();
    void StartIdentification();
    void StartFlashing();
    std::string FirmwareFolder();
    void OnIdentified(int32_t outcome);
    // The reason lines below the Info page's detail for an outcome that may not go on.
    void ShowReasons(int32_t outcome);
    void OnStage(int stage);
    void OnUpdateFinished(int32_t result, int32_t lastBlockResult);
    void OnWait(int64_t kind, int64_t maxMs);
    void Tick(WaitLineState& line, int64_t now);
    std::string Text(int number) const { return LoadText(number, language_); }

    WizardView& view_;
    SettingsStore& settings_;
    const Language language_;
    ConnectPageLogic connect_;
    WizardState state_;
    std::string startFolder_;
    DiscoveryQuestions* questions_;
    std::unique_ptr<DiscoveryQuestions> boxQuestions_;
    std::function<int64_t()> clock_;
    bool discoveryDone_ = false;

    // Last, so it goes first: its destructor waits for a worker that may still post here.
    std::unique_ptr<UpdateProcedure> procedure_;
};
