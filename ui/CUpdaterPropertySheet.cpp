#include "ui/CUpdaterPropertySheet.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "ui/CFileVersionInfo.h"
#include "ui/CWaitLine.h"
#include "ui/Settings.h"
#include "ui/TemplateTexts.h"
#include "update/StringManager.h"

namespace {

constexpr int kStringTableId = 135;

}  // namespace

CUpdaterPropertySheet::CUpdaterPropertySheet(QWidget* parent)
    : CWizard97PropertySheet(100, SystemLanguage(), parent),
      m_settings(std::make_unique<QtSettingsStore>()),
      m_logic(std::make_unique<WizardSheetLogic>(*this, *m_settings, language)),
      m_connectPage(new CConnectPropertyPage(language, &m_logic->Connect())),
      m_infoPage(new CInfoPropertyPage(language)),
      m_updatePage(new CUpdatePropertyPage(language)) {
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

    const auto tick = [this] { m_logic->OnWaitTick(); };
    m_infoPage->waitLine->onTick = tick;
    m_updatePage->waitLine->onTick = tick;
    connect(this, &QWizard::currentIdChanged, this, &CUpdaterPropertySheet::OnPageChanged);
    // Back is ours: on the Update page it is "<< Start".
    BackButton()->disconnect(this);
    connect(BackButton(), &QPushButton::clicked, this, &CUpdaterPropertySheet::OnBackClicked);
    connect(NextButton(), &QPushButton::clicked, this, &QWizard::next);
    connect(FinishButton(), &QPushButton::clicked, this, &QWizard::accept);
}

CUpdaterPropertySheet::~CUpdaterPropertySheet() {
    disconnect(this, &QWizard::currentIdChanged, this, nullptr);
    m_connectPage->Unbind();
    m_infoPage->waitLine->onTick = nullptr;
    m_updatePage->waitLine->onTick = nullptr;
    // Waits for a worker; its late messages die with this object.
    m_logic.reset();
}

void CUpdaterPropertySheet::SetTitleWithVersion() {
    CFileVersionInfo info;
    if (info.CreateFromModule() && !info.GetFileVersion().empty()) {
        setWindowTitle(Text(100, language) + " V" + QString::fromStdString(info.GetFileVersion()));
    }
}

void CUpdaterPropertySheet::SetFirmwareFolder(const QString& folder) {
    m_logic->SetStartFolder(folder.isEmpty() ? std::string()
                                             : QDir(folder).absolutePath().toStdString());
}

void CUpdaterPropertySheet::done(int result) {
    if (!m_logic->OnCloseRequested()) {
        return;
    }
    CWizard97PropertySheet::done(result);
}

void CUpdaterPropertySheet::OnPageChanged(int id) {
    if (id >= kConnectPage && id <= kUpdatePage) {
        m_logic->OnPageShown(static_cast<WizardPage>(id));
    }
}

void CUpdaterPropertySheet::OnBackClicked() {
    if (m_logic->OnBackPressed() == WizardSheetLogic::BackAction::Restart) {
        // The Connect page again; the next identification starts when the user presses Next.
        restart();
        return;
    }
    back();
}

void CUpdaterPropertySheet::ShowLogFile() {
    m_logic->ShowLogFile();
}

// ------------------------------------------------------------------ WizardView

void CUpdaterPropertySheet::PostToGuiThread(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void CUpdaterPropertySheet::ScheduleIdle() {
    if (m_kickIdlePending) {
        return;
    }
    m_kickIdlePending = true;
    QTimer::singleShot(0, this, [this] {
        m_kickIdlePending = false;
        m_logic->OnKickIdle(isVisible());
    });
}

WizardView::Answer CUpdaterPropertySheet::ShowMessageBox(Icon icon, Buttons buttons,
                                                         const std::string& title,
                                                         const std::string& text) {
    const QString caption = QString::fromStdString(title);
    const QString message = QString::fromStdString(text);
    const QMessageBox::StandardButtons offered =
        buttons == Buttons::Ok ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel;
    const QMessageBox::StandardButton answer =
        icon == Icon::Critical
            ? QMessageBox::critical(this, caption, message, offered, QMessageBox::Ok)
            : QMessageBox::question(this, caption, message, offered, QMessageBox::Ok);
    return answer == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

std::string CUpdaterPropertySheet::ChooseFolder(const std::string& title,
                                                const std::string& start) {
    const QString from = start.empty() ? QDir::homePath() : QString::fromStdString(start);
    return m_folderChooser(QString::fromStdString(title), from).toStdString();
}

bool CUpdaterPropertySheet::OpenInDesktop(const std::string& path) {
    return m_urlOpener(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void CUpdaterPropertySheet::ShowLogWindow(const std::string& path) {
    if (m_logWindow == nullptr) {
        m_logWindow = new CLogWindow(language, this);
    }
    m_logWindow->ShowFile(QString::fromStdString(path));
}

void CUpdaterPropertySheet::Render() {
    const WizardState& state = m_logic->State();
    m_connectPage->Bind();
    m_infoPage->Bind(state.info);
    m_updatePage->Bind(state.update);
    BindButtons(state.buttons);
}

void CUpdaterPropertySheet::BindButtons(const ButtonsState& buttons) {
    if (buttons.endButtons != ShowsEndButtons()) {
        if (buttons.endButtons) {
            m_backText = BackButton()->text();
            BackButton()->setText(QString::fromStdString(buttons.endBackCaption));
            ShowEndButtons();
        } else {
            BackButton()->setText(m_backText);
            ShowNormalButtons();
        }
    }
    BackButton()->setEnabled(buttons.back);
    NextButton()->setEnabled(buttons.next);
    CancelButton()->setEnabled(buttons.cancel);
    FinishButton()->setEnabled(buttons.finish);
}

void CUpdaterPropertySheet::EndWizard() {
    CWizard97PropertySheet::done(QDialog::Rejected);
}
