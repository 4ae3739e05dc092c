#include "ui/CUpdaterPropertySheet.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <vector>

#include "ui/CFileVersionInfo.h"
#include "ui/CWaitLine.h"
#include "ui/CXColorStatic.h"
#include "ui/GuidanceTexts.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/ProcedureVerdicts.h"
#include "update/ProcedureWaits.h"
#include "update/StringManager.h"
#include "update/UpdateCodes.h"

namespace {

constexpr int kStringTableId = 135;
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);

void SetStyled(CXColorStatic* control, const QString& text, bool errorStyle) {
    control->setText(text);
    control->SetTextColor(errorStyle ? kRed : kBlack);
    control->SetBold(errorStyle);
}

// Boxes 207 and 208 as the program shows them.
class MessageBoxQuestions : public DiscoveryQuestions {
public:
    MessageBoxQuestions(QWidget* parent, Language language)
        : parent_(parent), language_(language) {}
    void CoderFileMissing() override {
        QMessageBox::critical(parent_, Text(100, language_), Text(207, language_));
    }
    bool ConfirmCoderOnly() override {
        return QMessageBox::question(parent_, Text(100, language_), Text(208, language_),
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    }

private:
    QWidget* parent_;
    Language language_;
};

}  // namespace

CUpdaterPropertySheet::CUpdaterPropertySheet(QWidget* parent)
    : CWizard97PropertySheet(100, SystemLanguage(), parent),
      m_connectPage(new CConnectPropertyPage(language)),
      m_infoPage(new CInfoPropertyPage(language)),
      m_updatePage(new CUpdatePropertyPage(language)),
      m_procedure(std::make_unique<UpdateProcedure>(*this)) {
    // Frames reach the log through the procedure's message window, drained on this thread.
    m_procedure->logWindow->SetWakeup([this] {
        QMetaObject::invokeMethod(
            this, [this] { m_procedure->logWindow->DispatchPending(); }, Qt::QueuedConnection);
    });
    m_messageBoxQuestions = std::make_unique<MessageBoxQuestions>(this, language);
    m_discoveryQuestions = m_messageBoxQuestions.get();
    m_urlOpener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    m_folderChooser = [this](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(this, title, start);
    };

    setPage(kConnectPage, m_connectPage);
    setPage(kInfoPage, m_infoPage);
    setPage(kUpdatePage, m_updatePage);
    m_connectPage->sheet = this;
    m_infoPage->sheet = this;
    m_updatePage->sheet = this;
    AttachHeaderBitmap();

    SetTitleWithVersion();
    StringManager::GetInstance().LoadFromResource(kStringTableId);

    connect(this, &QWizard::currentIdChanged, this, &CUpdaterPropertySheet::OnPageChanged);
    connect(m_connectPage, &CConnectPropertyPage::ChoiceEdited, this,
            &CUpdaterPropertySheet::ScheduleKickIdle);
    // Back is ours: on the Update page it is "<< Start".
    BackButton()->disconnect(this);
    connect(BackButton(), &QPushButton::clicked, this, &CUpdaterPropertySheet::OnBackClicked);
    connect(NextButton(), &QPushButton::clicked, this, &QWizard::next);
    connect(FinishButton(), &QPushButton::clicked, this, &QWizard::accept);
}

CUpdaterPropertySheet::~CUpdaterPropertySheet() {
    disconnect(this, &QWizard::currentIdChanged, this, nullptr);
    // Waits for a worker (only reachable when the sheet is torn down from outside, since
    // closing is refused while one runs); its late messages die with this object.
    m_procedure.reset();
}

void CUpdaterPropertySheet::SetTitleWithVersion() {
    CFileVersionInfo info;
    if (info.CreateFromModule() && !info.GetFileVersion().empty()) {
        setWindowTitle(Text(100, language) + " V" + QString::fromStdString(info.GetFileVersion()));
    }
}

bool CUpdaterPropertySheet::WorkerRunning() const {
    return m_procedure->IsWorkerRunning();
}

void CUpdaterPropertySheet::done(int result) {
    if (WorkerRunning()) {
        ShowCloseRefused();
        return;
    }
    CWizard97PropertySheet::done(result);
}

void CUpdaterPropertySheet::ShowCloseRefused() {
    // Said on the page, not in a box: a modal box would only be one more thing to close.
    if (currentId() == kUpdatePage) {
        m_updatePage->closeNote->setText(
            GuidanceString(GuidanceText::CloseRefusedUpdating, language));
        m_updatePage->closeNote->show();
    } else if (currentId() == kInfoPage) {
        m_infoPage->closeNote->setText(
            GuidanceString(GuidanceText::CloseRefusedIdentifying, language));
        m_infoPage->closeNote->show();
    }
}

void CUpdaterPropertySheet::SetButtonStates(bool back, bool next, bool cancel) {
    BackButton()->setEnabled(back);
    NextButton()->setEnabled(next);
    CancelButton()->setEnabled(cancel);
}

void CUpdaterPropertySheet::OnPageChanged(int id) {
    switch (id) {
        case kConnectPage:
            m_connectPage->OnSetActive();
            // Next waits for the idle moment, which looks for the firmware files first.
            SetButtonStates(false, false, true);
            ScheduleKickIdle();
            break;
        case kInfoPage:
            SetButtonStates(true, false, false);
            m_infoPage->OnSetActive();
            break;
        case kUpdatePage:
            SetButtonStates(false, false, false);
            m_updatePage->OnSetActive();
            break;
        default:
            break;
    }
}

void CUpdaterPropertySheet::OnBackClicked() {
    if (currentId() == kUpdatePage) {
        m_updatePage->OnWizardBack();
        return;
    }
    back();
}

void CUpdaterPropertySheet::ScheduleKickIdle() {
    if (m_kickIdlePending) {
        return;
    }
    m_kickIdlePending = true;
    QTimer::singleShot(0, this, [this] {
        m_kickIdlePending = false;
        OnKickIdle();
    });
}

void CUpdaterPropertySheet::OnKickIdle() {
    if (currentId() != kConnectPage || !isVisible()) {
        return;
    }
    if (!m_discoveryDone && m_procedure->m_versionToFlash.empty()) {
        m_discoveryDone = true;
        const QString folder = FirmwareFolder();
        if (folder.isEmpty()) {
            // No folder is no coder firmware.
            m_discoveryQuestions->CoderFileMissing();
            CWizard97PropertySheet::done(QDialog::Rejected);
            return;
        }
        const std::string directory = QDir(folder).absolutePath().toStdString() + "/";
        // The log follows: beside the files, or in the state folder when that is read-only.
        m_procedure->SetFirmwareDirectory(directory);
        if (!m_procedure->DiscoverFirmwareFiles(*m_discoveryQuestions)) {
            CWizard97PropertySheet::done(QDialog::Rejected);
            return;
        }
    }
    SetButtonStates(false, m_connectPage->NextAllowed(), true);
}

QString CUpdaterPropertySheet::FirmwareFolder() {
    if (!m_startFolder.isEmpty()) {
        return m_startFolder;
    }
    const std::string& programDirectory = GetProgramDirectory();
    if (!programDirectory.empty() && HoldsCoderFirmware(programDirectory)) {
        return QString::fromStdString(programDirectory);
    }
    // An installed program has no firmware beside it: the user says where it is.
    QSettings settings = OpenSettings();
    settings.beginGroup(kSettingsGroup);
    const QString last = settings.value(kFirmwareFolderValue, QDir::homePath()).toString();
    const QString chosen =
        m_folderChooser(GuidanceString(GuidanceText::ChooseFirmwareFolder, language), last);
    if (!chosen.isEmpty()) {
        settings.setValue(kFirmwareFolderValue, chosen);
    }
    return chosen;
}

// ------------------------------------------------------------------ called by the pages

void CUpdaterPropertySheet::StartIdentification() {
    ConnectionChoice choice;
    choice.connectionType = m_connectPage->connectionType;
    choice.serialPort = static_cast<uint16_t>(m_connectPage->serialPort);
    choice.tcpAddress = m_connectPage->tcpAddress.toStdString();
    choice.tcpPort = static_cast<uint16_t>(m_connectPage->tcpPort);
    m_procedure->SetConnectionChoice(choice);

    SetStyled(m_infoPage->status, Text(201, language), false);
    SetButtonStates(false, false, false);
    m_procedure->StartIdentification();
}

void CUpdaterPropertySheet::StartFlashing() {
    // Without samples the DSP firmware is the second stage.
    const FlashPlan& plan = m_procedure->Plan();
    if (plan.Stage(2) != nullptr) {
        m_updatePage->stage2->setText(QString::fromStdString(plan.Label(2, language)));
    }
    m_updatePage->status->setText(Text(m_procedure->m_biosRunning ? 212 : 211, language));
    SetButtonStates(false, false, false);
    m_procedure->StartFlashing();
}

void CUpdaterPropertySheet::ShowLogFile() {
    const QString path = QString::fromStdString(m_procedure->LogPath());
    if (path.isEmpty() || m_urlOpener(QUrl::fromLocalFile(path))) {
        return;
    }
    // No viewer for text files on this desktop: the log is shown here instead of nowhere.
    if (m_logWindow == nullptr) {
        m_logWindow = new CLogWindow(language, this);
    }
    m_logWindow->ShowFile(path);
}

void CUpdaterPropertySheet::RestoreWizardButtons() {
    BackButton()->setText(m_backText);
    ShowNormalButtons();
    // The Connect page again; the next identification starts when the user presses Next.
    restart();
}

// ------------------------------------------------------------------ the procedure's messages

void CUpdaterPropertySheet::Post(uint32_t message, int64_t wParam, int64_t lParam) {
    QMetaObject::invokeMethod(
        this, [this, message, wParam, lParam] { Dispatch(message, wParam, lParam); },
        Qt::QueuedConnection);
}

void CUpdaterPropertySheet::SetIdentifyStatus(int textNumber) {
    QMetaObject::invokeMethod(
        this, [this, textNumber] { m_infoPage->status->setText(Text(textNumber, language)); },
        Qt::QueuedConnection);
}

void CUpdaterPropertySheet::Dispatch(uint32_t message, int64_t wParam, int64_t lParam) {
    switch (message) {
        case WM_UPD_IDENTIFIED:
            OnIdentified(static_cast<int32_t>(wParam));
            break;
        case WM_UPD_STATUS:
            OnStatusText(static_cast<int>(wParam));
            break;
        case WM_UPD_STAGE:
            OnStage(static_cast<int>(wParam));
            break;
        case WM_UPD_PROGRESS_RANGE:
            OnProgressRange(static_cast<int>(wParam), static_cast<int>(lParam));
            break;
        case WM_UPD_PROGRESS_STEP:
            OnProgressStep();
            break;
        case WM_UPD_FINISHED:
            OnUpdateFinished(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            break;
        case WM_UPD_WAIT:
            OnWait(wParam, lParam);
            break;
        default:
            break;
    }
}

void CUpdaterPropertySheet::OnIdentified(int32_t outcome) {
    // The worker ends right after its last message.
    m_procedure->WaitForWorker();

    const IdentificationVerdict verdict =
        DecideIdentification(outcome, m_procedure->StateForChecks(), language);

    CInfoPropertyPage& page = *m_infoPage;
    page.closeNote->hide();
    page.waitLine->Stop();
    if (verdict.status.changed) {
        SetStyled(page.status, QString::fromStdString(verdict.status.text),
                  verdict.status.errorStyle);
    }
    if (verdict.detail.changed) {
        SetStyled(page.detail, QString::fromStdString(verdict.detail.text),
                  verdict.detail.errorStyle);
        page.detail->show();
    }
    page.currentVersionLabel->setVisible(verdict.showVersions);
    page.versionToFlashLabel->setVisible(verdict.showVersions);
    page.currentVersion->setVisible(verdict.showVersions);
    page.versionToFlash->setVisible(verdict.showVersions);
    page.hint->setVisible(verdict.showVersions);
    if (verdict.showVersions) {
        page.currentVersion->setText(QString::fromStdString(m_procedure->m_currentVersion));
        page.versionToFlash->setText(QString::fromStdString(m_procedure->m_versionToFlash));
    }
    if (verdict.hint.changed) {
        SetStyled(page.hint, QString::fromStdString(verdict.hint.text), verdict.hint.errorStyle);
        page.hint->show();
    }
    if (!verdict.mayGoOn) {
        ShowReasons(outcome);
    }
    SetButtonStates(true, verdict.mayGoOn, true);
    update();
}

void CUpdaterPropertySheet::OnWait(int64_t kind, int64_t maxMs) {
    CWaitLine* line = currentId() == kUpdatePage ? m_updatePage->waitLine
                      : currentId() == kInfoPage ? m_infoPage->waitLine
                                                 : nullptr;
    if (line != nullptr) {
        line->Wait(kind, maxMs);
    }
}

void CUpdaterPropertySheet::ShowReasons(int32_t outcome) {
    // "Could not connect to Coder!" alone leaves the user guessing: the reason the system gave
    // or what came back, and what to do, go below it, as the command line prints them.
    std::vector<std::string> reasons;
    const OpenFailure& failure = m_procedure->m_openFailure;
    if (failure.failed() && (outcome == UPD_NO_BAUD_RATE || outcome == UPD_CONNECT_FAILED)) {
        reasons.push_back(OpenFailureReason(failure, language));
        reasons.push_back(OpenFailureHint(failure, language));
    }
    reasons.push_back(IdentificationReason(outcome, m_procedure->Evidence(), language));
    QStringList lines;
    if (!m_infoPage->detail->text().isEmpty()) {
        lines.append(m_infoPage->detail->text());
    }
    const qsizetype before = lines.size();
    for (const std::string& line : reasons) {
        if (!line.empty()) {
            lines.append(QString::fromStdString(line));
        }
    }
    if (lines.size() == before) {
        return;
    }
    m_infoPage->detail->setText(lines.join('\n'));
    m_infoPage->detail->show();
}

void CUpdaterPropertySheet::OnStatusText(int textNumber) {
    m_updatePage->status->setText(Text(textNumber, language));
    m_updatePage->status->repaint();
}

void CUpdaterPropertySheet::OnStage(int stage) {
    CUpdatePropertyPage& page = *m_updatePage;
    switch (stage) {
        case 1:
            page.stage1->show();
            page.stage2->setVisible(m_procedure->Plan().Stage(2) != nullptr);
            page.stage3->setVisible(m_procedure->Plan().Stage(3) != nullptr);
            page.progress->show();
            break;
        case 2:
            page.stage1->SetTextColor(kGrey);
            page.stage2->SetTextColor(kBlack);
            break;
        case 3:
            page.stage2->SetTextColor(kGrey);
            page.stage3->SetTextColor(kBlack);
            break;
        case 4:
            page.stage1->hide();
            page.stage2->hide();
            page.stage3->hide();
            page.progress->hide();
            break;
        default:
            break;
    }
}

void CUpdaterPropertySheet::OnProgressRange(int minimum, int maximum) {
    m_updatePage->progress->setRange(minimum, maximum);
    m_updatePage->progress->setValue(minimum);
    m_updatePage->progress->repaint();
}

void CUpdaterPropertySheet::OnProgressStep() {
    QProgressBar* bar = m_updatePage->progress;
    if (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + 1);
    }
}

void CUpdaterPropertySheet::OnUpdateFinished(int32_t result, int32_t lastBlockResult) {
    m_procedure->WaitForWorker();
    CUpdatePropertyPage& page = *m_updatePage;
    page.closeNote->hide();
    page.waitLine->Stop();
    if (result != UPD_OK) {
        SetStyled(page.status, Text(214, language), true);
        page.detail->setText(
            QString::fromStdString(UpdateResultText(result, lastBlockResult, language)));
        page.detail->show();
        page.failureNote->setText(QString::fromStdString(
            FlashFailureNote(result, m_procedure->EndState(), FrontEnd::Wizard, language)));
        page.failureNote->setVisible(!page.failureNote->text().isEmpty());
        // Said in its place when no log could be written anywhere.
        if (m_procedure->LogPath().empty()) {
            page.noLogNote->show();
        } else {
            page.showLogButton->show();
        }
    } else {
        m_procedure->WriteLog("Update finished successfully.");
        m_procedure->WriteLog("New firmware version:  " + m_procedure->m_currentVersion);
        SetStyled(page.status, Text(215, language), false);
        page.newVersion->setText(QString::fromStdString(m_procedure->m_currentVersion));
        page.newVersionLabel->show();
        page.newVersion->show();
    }

    // "<< Start" where Next was, Finish where Cancel was.
    m_backText = BackButton()->text();
    BackButton()->setText(Text(218, language));
    ShowEndButtons();
    BackButton()->setEnabled(true);
    FinishButton()->setEnabled(true);
    update();
    // A TCP connection kept by the reconnection ends with the update.
    m_procedure->m_handler.Close(0);
}
