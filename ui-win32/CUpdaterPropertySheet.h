#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui-win32/CConnectPropertyPage.h"
#include "ui-win32/CInfoPropertyPage.h"
#include "ui-win32/CLogWindow.h"
#include "ui-win32/CUpdatePropertyPage.h"
#include "ui-win32/CWizard97PropertySheet.h"
#include "update/FirmwareFiles.h"
#include "update/ProcedureSink.h"
#include "update/UpdateProcedure.h"

// The program's window: the three-page wizard that owns the update procedure. The workers
// report through the sink, which posts their messages to this window (WM_APP + n for message
// 0x8000 + n), so they are handled here, on the GUI thread, in posting order, and become
// texts, colours, progress and buttons. While a worker runs no wizard button works, and
// neither do the close box and Escape: closing then would destroy the sheet under the worker
// (and, while flashing, leave the coder in its BIOS); the page then says why it stays open.
class CUpdaterPropertySheet : public CWizard97PropertySheet, public ProcedureSink {
public:
    enum PageId { kConnectPage = 0, kInfoPage = 1, kUpdatePage = 2 };

    CUpdaterPropertySheet();
    ~CUpdaterPropertySheet() override;

    // Makes the window, the Connect page active; false when it could not.
    bool Create();

    // Called by the pages.
    void StartIdentification();
    void StartFlashing();
    void ShowLogFile();
    void RestoreWizardButtons();
    // False, after saying why on the page, while a worker runs.
    bool MayClose();

    void SetButtonStates(bool back, bool next, bool cancel);

    // ProcedureSink: called on the worker thread.
    void Post(uint32_t message, int64_t wParam, int64_t lParam) override;
    void SetIdentifyStatus(int textNumber) override;

    UpdateProcedure& Procedure() { return *m_procedure; }
    Language WizardLanguage() const { return language; }

    // The boxes the firmware discovery shows; tests put their own answers in.
    void SetDiscoveryQuestions(DiscoveryQuestions* questions) { m_discoveryQuestions = questions; }
    // Opens the log with the shell; false when the shell cannot. Tests put their own in.
    using FileOpener = std::function<bool(HWND owner, const std::string& path)>;
    void SetFileOpener(FileOpener opener) { m_fileOpener = std::move(opener); }
    // The folder of the firmware files given at start; without one the program directory is
    // used when it holds a coder firmware, and otherwise the user chooses.
    void SetFirmwareFolder(const std::string& folder) { m_startFolder = folder; }
    // Asks for a folder (title, where to start); empty when the user cancels. Tests put their
    // own in.
    using FolderChooser = std::function<std::string(HWND owner, const std::string& title,
                                                    const std::string& start)>;
    void SetFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    // The log inside the wizard, once the shell could not open it; null before.
    CLogWindow* LogWindow() const { return m_logWindow.get(); }

    CConnectPropertyPage m_connectPage;
    CInfoPropertyPage m_infoPage;
    CUpdatePropertyPage m_updatePage;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnKickIdle() override;
    bool PreTranslate(MSG& message) override;

private:
    void SetTitleWithVersion();
    void OnIdentified(int32_t outcome);
    void OnStatusText(int textNumber);
    void OnStage(int stage);
    void OnProgressRange(int minimum, int maximum);
    void OnProgressStep();
    void OnUpdateFinished(int32_t result, int32_t lastBlockResult);
    void OnWait(int64_t kind, int64_t maxMs);
    void ShowCloseRefused();
    std::string FirmwareFolder();
    // The reason lines below the Info page's detail for an outcome that may not go on.
    void ShowReasons(int32_t outcome);

    std::atomic<HWND> m_window{nullptr};
    DiscoveryQuestions* m_discoveryQuestions = nullptr;
    std::unique_ptr<DiscoveryQuestions> m_messageBoxQuestions;
    FileOpener m_fileOpener;
    FolderChooser m_folderChooser;
    std::string m_startFolder;
    std::unique_ptr<CLogWindow> m_logWindow;
    bool m_discoveryDone = false;
    std::wstring m_backText;
    RECT m_backRect{};
    RECT m_finishRect{};

    // Last, so it goes first: its destructor waits for a worker that may still post here.
    std::unique_ptr<UpdateProcedure> m_procedure;
};
