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
#include "update/UpdateProcedure.h"
#include "wizard/WizardSheetLogic.h"
#include "wizard/WizardView.h"

class QtSettingsStore;

// The program's window: the three-page wizard over WizardSheetLogic, which owns the update
// procedure and decides what the pages show. The sheet forwards the wizard's events to it,
// draws its state, and is its view: the procedure's messages are queued into the Qt event loop
// in posting order and handled on the GUI thread. While a worker runs no wizard button works,
// and neither do the close box and Escape; the page then says why it stays open.
class CUpdaterPropertySheet : public CWizard97PropertySheet, public WizardView {
    Q_OBJECT
public:
    enum PageId { kConnectPage = 0, kInfoPage = 1, kUpdatePage = 2 };

    explicit CUpdaterPropertySheet(QWidget* parent = nullptr);
    ~CUpdaterPropertySheet() override;

    // Called by the pages.
    void ShowLogFile();

    WizardSheetLogic& Logic() { return *m_logic; }
    UpdateProcedure& Procedure() { return m_logic->Procedure(); }
    // The boxes the firmware discovery shows; tests put their own answers in.
    void SetDiscoveryQuestions(DiscoveryQuestions* questions) {
        m_logic->SetDiscoveryQuestions(questions);
    }
    // Opens the log in the desktop's viewer; false when the desktop cannot. Tests put their
    // own in.
    using UrlOpener = std::function<bool(const QUrl&)>;
    void SetUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }
    // The folder of the firmware files given at start; without one the program directory is
    // used when it holds a coder firmware, and otherwise the user chooses.
    void SetFirmwareFolder(const QString& folder);
    // Asks for a folder (title, where to start); empty when the user cancels. Tests put
    // their own in.
    using FolderChooser = std::function<QString(const QString& title, const QString& start)>;
    void SetFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    // The log inside the wizard, once the desktop could not open it; null before.
    CLogWindow* LogWindow() const { return m_logWindow; }

    // WizardView.
    void PostToGuiThread(std::function<void()> task) override;
    void ScheduleIdle() override;
    Answer ShowMessageBox(Icon icon, Buttons buttons, const std::string& title,
                          const std::string& text) override;
    std::string ChooseFolder(const std::string& title, const std::string& start) override;
    bool OpenInDesktop(const std::string& path) override;
    void ShowLogWindow(const std::string& path) override;
    void Render() override;
    void EndWizard() override;

    // The logic and its settings come first: the pages show them.
    std::unique_ptr<QtSettingsStore> m_settings;
    std::unique_ptr<WizardSheetLogic> m_logic;
    // The pages belong to the wizard, as its children.
    CConnectPropertyPage* m_connectPage;
    CInfoPropertyPage* m_infoPage;
    CUpdatePropertyPage* m_updatePage;

public slots:
    void done(int result) override;

private:
    void SetTitleWithVersion();
    void OnPageChanged(int id);
    void OnBackClicked();
    void BindButtons(const ButtonsState& buttons);

    UrlOpener m_urlOpener;
    FolderChooser m_folderChooser;
    CLogWindow* m_logWindow = nullptr;
    bool m_kickIdlePending = false;
    QString m_backText;
};
