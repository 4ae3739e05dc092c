#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ui-win32/CConnectPropertyPage.h"
#include "ui-win32/CInfoPropertyPage.h"
#include "ui-win32/CLogWindow.h"
#include "ui-win32/CUpdatePropertyPage.h"
#include "ui-win32/CWizard97PropertySheet.h"
#include "wizard/SettingsStore.h"
#include "wizard/WizardSheetLogic.h"
#include "wizard/WizardView.h"

// The program's window: the three-page wizard, a view of the wizard logic, which owns the
// update procedure and decides every text, colour and button. Tasks the logic posts from the
// workers are queued here and run on this window's thread in posting order, a turn's worth at
// a time, so input and painting go on while a worker posts fast; the pages hand their events
// to the logic and draw its state after each one.
class CUpdaterPropertySheet : public CWizard97PropertySheet, public WizardView {
public:
    enum PageId { kConnectPage = 0, kInfoPage = 1, kUpdatePage = 2 };

    CUpdaterPropertySheet();
    ~CUpdaterPropertySheet() override;

    // Makes the window, the Connect page active; false when it could not.
    bool Create();

    WizardSheetLogic& Logic() { return *m_logic; }
    UpdateProcedure& Procedure() { return m_logic->Procedure(); }
    Language WizardLanguage() const { return language; }

    // Called by the pages.
    void OnPageShown(WizardPage page);
    // What PSN_WIZBACK answers: 0 for the page before, -1 when the sheet goes elsewhere.
    LRESULT OnWizardBack();
    bool MayClose();

    // Opens the log with the shell; false when the shell cannot. Tests put their own in.
    using FileOpener = std::function<bool(HWND owner, const std::string& path)>;
    void SetFileOpener(FileOpener opener) { m_fileOpener = std::move(opener); }
    // Asks for a folder (title, where to start); empty when the user cancels. Tests put their
    // own in.
    using FolderChooser =
        std::function<std::string(HWND owner, const std::string& title, const std::string& start)>;
    void SetFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    // The log inside the wizard, once the shell could not open it; null before.
    CLogWindow* LogWindow() const { return m_logWindow.get(); }

    // WizardView
    void PostToGuiThread(std::function<void()> task) override;
    void ScheduleIdle() override;
    Answer ShowMessageBox(Icon icon, Buttons buttons, const std::string& title,
                          const std::string& text) override;
    std::string ChooseFolder(const std::string& title, const std::string& start) override;
    bool OpenInDesktop(const std::string& path) override;
    void ShowLogWindow(const std::string& path) override;
    void Render() override;
    void EndWizard() override;

    CConnectPropertyPage m_connectPage;
    CInfoPropertyPage m_infoPage;
    CUpdatePropertyPage m_updatePage;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnKickIdle() override;
    bool PreTranslate(MSG& message) override;

private:
    void SetTitleWithVersion();
    // The tasks queued so far, in posting order, a turn's worth at a time.
    void RunTasks();
    void RenderButtons(const ButtonsState& buttons);
    void ShowEndButtons(const std::string& backCaption);
    void ShowNormalButtons();

    std::mutex m_tasksLock;
    std::deque<std::function<void()>> m_tasks;
    HWND m_taskWindow = nullptr;  // under m_tasksLock: where tasks are announced
    bool m_wakePending = false;   // under m_tasksLock: a message or timer will run them

    SystemSettingsStore m_settings;
    FileOpener m_fileOpener;
    FolderChooser m_folderChooser;
    std::unique_ptr<CLogWindow> m_logWindow;
    bool m_endButtons = false;
    bool m_waitTimer = false;
    std::wstring m_backText;
    RECT m_backRect{};
    RECT m_finishRect{};

    // Last, so it goes first: its destructor waits for a worker that may still post here.
    std::unique_ptr<WizardSheetLogic> m_logic;
};
