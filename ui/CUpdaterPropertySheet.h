#pragma once

#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

#include "ui/CConnectPropertyPage.h"
#include "ui/CInfoPropertyPage.h"
#include "ui/CLogWindow.h"
#include "ui/CUpdatePropertyPage.h"
#include "ui/CWizard97PropertySheet.h"
#include "update/FirmwareFiles.h"
#include "update/ProcedureSink.h"
#include "update/UpdateProcedure.h"

// The program's window: the three-page wizard that owns the update procedure. The workers
// report through the sink; their messages are queued into the Qt event loop in posting order
// and handled here, on the GUI thread, where they become texts, colours, progress and
// buttons. While a worker runs no wizard button works, and neither do the close box and
// Escape: closing then would destroy the sheet under the worker (and, while flashing, leave
// the coder in its BIOS); the page then says why it stays open.
class CUpdaterPropertySheet : public CWizard97PropertySheet, public ProcedureSink {
    Q_OBJECT
public:
    enum PageId { kConnectPage = 0, kInfoPage = 1, kUpdatePage = 2 };

    explicit CUpdaterPropertySheet(QWidget* parent = nullptr);
    ~CUpdaterPropertySheet() override;

    // Called by the pages.
    void StartIdentification();
    void StartFlashing();
    void ShowLogFile();
    void RestoreWizardButtons();

    void SetButtonStates(bool back, bool next, bool cancel);

    // ProcedureSink: called on the worker thread.
    void Post(uint32_t message, int64_t wParam, int64_t lParam) override;
    void SetIdentifyStatus(int textNumber) override;

    UpdateProcedure& Procedure() { return *m_procedure; }
    // The boxes the firmware discovery shows; tests put their own answers in.
    void SetDiscoveryQuestions(DiscoveryQuestions* questions) { m_discoveryQuestions = questions; }
    // Opens the log in the desktop's viewer; false when the desktop cannot. Tests put their
    // own in.
    using UrlOpener = std::function<bool(const QUrl&)>;
    void SetUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }
    // The folder of the firmware files given at start; without one the program directory is
    // used when it holds a coder firmware, and otherwise the user chooses.
    void SetFirmwareFolder(const QString& folder) { m_startFolder = folder; }
    // Asks for a folder (title, where to start); empty when the user cancels. Tests put
    // their own in.
    using FolderChooser = std::function<QString(const QString& title, const QString& start)>;
    void SetFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    // The log inside the wizard, once the desktop could not open it; null before.
    CLogWindow* LogWindow() const { return m_logWindow; }

    // The pages belong to the wizard, as its children.
    CConnectPropertyPage* m_connectPage;
    CInfoPropertyPage* m_infoPage;
    CUpdatePropertyPage* m_updatePage;

public slots:
    void done(int result) override;

protected:
    void OnKickIdle();

private:
    void ScheduleKickIdle();
    void SetTitleWithVersion();
    void OnPageChanged(int id);
    void OnBackClicked();
    void Dispatch(uint32_t message, int64_t wParam, int64_t lParam);
    void OnIdentified(int32_t outcome);
    void OnStatusText(int textNumber);
    void OnStage(int stage);
    void OnProgressRange(int minimum, int maximum);
    void OnProgressStep();
    void OnUpdateFinished(int32_t result, int32_t lastBlockResult);
    bool WorkerRunning() const;
    void ShowCloseRefused();
    QString FirmwareFolder();
    void OnWait(int64_t kind, int64_t maxMs);
    // The reason lines below the Info page's detail for an outcome that may not go on.
    void ShowReasons(int32_t outcome);

    DiscoveryQuestions* m_discoveryQuestions = nullptr;
    std::unique_ptr<DiscoveryQuestions> m_messageBoxQuestions;
    UrlOpener m_urlOpener;
    FolderChooser m_folderChooser;
    QString m_startFolder;
    CLogWindow* m_logWindow = nullptr;
    bool m_kickIdlePending = false;
    bool m_discoveryDone = false;
    QString m_backText;

    // Last, so it goes first: its destructor waits for a worker that may still post here.
    std::unique_ptr<UpdateProcedure> m_procedure;
};
