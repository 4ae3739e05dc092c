#pragma once

#include <functional>
#include <string>

// What the wizard logic asks of a front end beyond drawing its state: the things a view does
// that a state cannot describe. All calls but PostToGuiThread come on the GUI thread.
class WizardView {
public:
    enum class Icon { Critical, Question };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };

    virtual ~WizardView() = default;

    // Runs `task` on the GUI thread, after every task posted before it (posting order), once
    // the current event is handled. Called from worker threads too; never blocks and never runs
    // `task` at once. Tasks still queued when the view goes are dropped.
    virtual void PostToGuiThread(std::function<void()> task) = 0;
    // Calls WizardSheetLogic::OnKickIdle once the GUI thread has nothing else to do; several
    // requests before that moment are one call.
    virtual void ScheduleIdle() = 0;
    // A modal message box; Cancel for a box closed without a button.
    virtual Answer ShowMessageBox(Icon icon, Buttons buttons, const std::string& title,
                                  const std::string& text) = 0;
    // A folder chooser (title, where it starts); empty when the user cancels.
    virtual std::string ChooseFolder(const std::string& title, const std::string& start) = 0;
    // Opens the file in the desktop's viewer; false when the desktop cannot.
    virtual bool OpenInDesktop(const std::string& path) = 0;
    // The read-only log window of the wizard, showing the file as it is now.
    virtual void ShowLogWindow(const std::string& path) = 0;
    // The state changed: draw what differs.
    virtual void Render() = 0;
    // Ends the wizard without a Finish (the program ends).
    virtual void EndWizard() = 0;
};
