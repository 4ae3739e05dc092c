#include "ui-win32/CUpdaterPropertySheet.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "ui-win32/FolderChooser.h"
#include "ui-win32/WizardTexts.h"
#include "ui-win32/resource.h"
#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/PageLabels.h"
#include "update/ProcedureVerdicts.h"
#include "update/Settings.h"
#include "update/StringManager.h"
#include "update/UpdateCodes.h"
#include "update/win32/WideText.h"

namespace {

constexpr int kStringTableId = 135;
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGrey = RGB(128, 128, 128);
const COLORREF kRed = RGB(255, 0, 0);
// Beyond the procedure's messages: the identification's status write and the frame log's
// wake-up.
constexpr UINT kIdentifyStatusMessage = WM_APP + 0x40;
constexpr UINT kFrameLogMessage = WM_APP + 0x41;

void SetStyled(CXColorStatic& control, const std::string& text, bool errorStyle) {
    control.SetText(text);
    control.SetTextColor(errorStyle ? kRed : kBlack);
    control.SetBold(errorStyle);
}

RECT ClientPlace(HWND parent, HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

void MoveTo(HWND control, const RECT& place) {
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Boxes 207 and 208 as the program shows them.
class MessageBoxQuestions : public DiscoveryQuestions {
public:
    MessageBoxQuestions(const CUpdaterPropertySheet& sheet, Language language)
        : sheet_(sheet), language_(language) {}
    void CoderFileMissing() override {
        MessageBoxW(sheet_.Handle(), WideFromUtf8(LoadText(207, language_)).c_str(),
                    WideFromUtf8(LoadText(100, language_)).c_str(), MB_OK | MB_ICONERROR);
    }
    bool ConfirmCoderOnly() override {
        return MessageBoxW(sheet_.Handle(), WideFromUtf8(LoadText(208, language_)).c_str(),
                           WideFromUtf8(LoadText(100, language_)).c_str(),
                           MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
    }

private:
    const CUpdaterPropertySheet& sheet_;
    Language language_;
};

bool OpenWithShell(HWND owner, const std::string& path) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        owner, L"open", WideFromUtf8(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::string FileVersionOfProgram() {
    wchar_t program[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) {
        return {};
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(program, 0, size, data.data())) {
        return {};
    }
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation)) {
        return {};
    }
    // The program carries one translation; the user's language is taken when there are more.
    const WORD user = GetUserDefaultLangID();
    Translation chosen = translations[0];
    for (UINT i = 0; i < length / sizeof(Translation); ++i) {
        if (translations[i].language == user) {
            chosen = translations[i];
            break;
        }
    }
    wchar_t key[64] = {};
    swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\FileVersion", chosen.language,
             chosen.codePage);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(data.data(), key, reinterpret_cast<void**>(&value), &length) ||
        length == 0) {
        return {};
    }
    return Utf8FromWide(value, wcsnlen(value, length));
}

}  // namespace

CUpdaterPropertySheet::CUpdaterPropertySheet()
    : CWizard97PropertySheet(100, SystemLanguage()),
      m_connectPage(language),
      m_infoPage(language),
      m_updatePage(language),
      m_procedure(std::make_unique<UpdateProcedure>(*this)) {
    // Frames reach the log through the procedure's message window, drained on this thread.
    m_procedure->logWindow->SetWakeup([this] {
        HWND window = m_window.load();
        if (window != nullptr) {
            PostMessageW(window, kFrameLogMessage, 0, 0);
        }
    });
    m_messageBoxQuestions = std::make_unique<MessageBoxQuestions>(*this, language);
    m_discoveryQuestions = m_messageBoxQuestions.get();
    m_fileOpener = OpenWithShell;
    m_folderChooser = ChooseFolder;
    m_connectPage.sheet = this;
    m_infoPage.sheet = this;
    m_updatePage.sheet = this;
    AttachHeaderBitmap();
    StringManager::GetInstance().LoadFromResource(kStringTableId);
}

CUpdaterPropertySheet::~CUpdaterPropertySheet() {
    m_window = nullptr;
    // Waits for a worker (only reachable when the sheet is torn down from outside, since
    // closing is refused while one runs); its late messages find no window.
    m_procedure.reset();
}

bool CUpdaterPropertySheet::Create() {
    if (!CWizard97PropertySheet::Create({&m_connectPage, &m_infoPage, &m_updatePage})) {
        return false;
    }
    m_window = Handle();
    SetWindowTextUtf8(Button(kBack), WizardString(WizardText::BackButton, language));
    SetWindowTextUtf8(Button(kNext), WizardString(WizardText::NextButton, language));
    SetWindowTextUtf8(Button(kCancel), WizardString(WizardText::CancelButton, language));
    SetTitleWithVersion();
    return true;
}

void CUpdaterPropertySheet::SetTitleWithVersion() {
    const std::string version = FileVersionOfProgram();
    if (!version.empty()) {
        SetWindowTextUtf8(Handle(), LoadText(100, language) + " V" + version);
    }
}

bool CUpdaterPropertySheet::MayClose() {
    if (!m_procedure->IsWorkerRunning()) {
        return true;
    }
    ShowCloseRefused();
    return false;
}

void CUpdaterPropertySheet::ShowCloseRefused() {
    // Said on the page, not in a box: a modal box would only be one more thing to close.
    if (ActivePage() == kUpdatePage) {
        m_updatePage.closeNote.SetText(WizardString(WizardText::CloseRefusedUpdating, language));
        m_updatePage.closeNote.Show(true);
    } else if (ActivePage() == kInfoPage) {
        m_infoPage.closeNote.SetText(
            WizardString(WizardText::CloseRefusedIdentifying, language));
        m_infoPage.closeNote.Show(true);
    }
}

void CUpdaterPropertySheet::SetButtonStates(bool back, bool next, bool cancel) {
    const std::pair<int, bool> states[] = {{kBack, back}, {kNext, next}, {kCancel, cancel}};
    for (const auto& [id, enabled] : states) {
        HWND button = Button(id);
        if ((IsWindowEnabled(button) != FALSE) != enabled) {
            EnableWindow(button, enabled);
        }
    }
}

LRESULT CUpdaterPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam,
                                          bool& handled) {
    handled = true;
    switch (message) {
        case WM_UPD_IDENTIFIED:
            OnIdentified(static_cast<int32_t>(wParam));
            return 0;
        case WM_UPD_STATUS:
            OnStatusText(static_cast<int>(wParam));
            return 0;
        case WM_UPD_STAGE:
            OnStage(static_cast<int>(wParam));
            return 0;
        case WM_UPD_PROGRESS_RANGE:
            OnProgressRange(static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        case WM_UPD_PROGRESS_STEP:
            OnProgressStep();
            return 0;
        case WM_UPD_FINISHED:
            OnUpdateFinished(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            return 0;
        case WM_UPD_WAIT:
            OnWait(static_cast<int64_t>(wParam), static_cast<int64_t>(lParam));
            return 0;
        case kIdentifyStatusMessage:
            m_infoPage.status.SetText(LoadText(static_cast<int>(wParam), language));
            return 0;
        case kFrameLogMessage:
            m_procedure->logWindow->DispatchPending();
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE && !MayClose()) {
                return 0;
            }
            break;
        case WM_CLOSE:
            if (!MayClose()) {
                return 0;
            }
            break;
        case WM_COMMAND:
            // Escape and Cancel; the button is disabled while a worker runs, Escape is not.
            if (LOWORD(wParam) == IDCANCEL && !MayClose()) {
                return 0;
            }
            break;
        default:
            break;
    }
    handled = false;
    return 0;
}

bool CUpdaterPropertySheet::PreTranslate(MSG& message) {
    return m_logWindow != nullptr && m_logWindow->Handle() != nullptr &&
           IsWindowVisible(m_logWindow->Handle()) &&
           IsDialogMessageW(m_logWindow->Handle(), &message);
}

void CUpdaterPropertySheet::OnKickIdle() {
    if (ActivePage() != kConnectPage || !IsWindowVisible(Handle())) {
        return;
    }
    if (!m_discoveryDone && m_procedure->m_versionToFlash.empty()) {
        m_discoveryDone = true;
        std::string folder = FirmwareFolder();
        if (folder.empty()) {
            // No folder is no coder firmware.
            m_discoveryQuestions->CoderFileMissing();
            PostQuitMessage(0);
            return;
        }
        if (folder.back() != '/') {
            folder += '/';
        }
        // The log follows: beside the files, or in the state folder when that is read-only.
        m_procedure->SetFirmwareDirectory(folder);
        if (!m_procedure->DiscoverFirmwareFiles(*m_discoveryQuestions)) {
            PostQuitMessage(0);
            return;
        }
    }
    SetButtonStates(false, m_connectPage.NextAllowed(), true);
}

std::string CUpdaterPropertySheet::FirmwareFolder() {
    if (!m_startFolder.empty()) {
        return m_startFolder;
    }
    const std::string& programDirectory = GetProgramDirectory();
    if (!programDirectory.empty() && HoldsCoderFirmware(programDirectory)) {
        return programDirectory;
    }
    // An installed program has no firmware beside it: the user says where it is.
    Settings settings(ProgramApplicationName());
    const std::string last = settings.ReadString(kFirmwareFolderValue, "");
    const std::string chosen = m_folderChooser(
        Handle(), WizardString(WizardText::ChooseFirmwareFolder, language), last);
    if (!chosen.empty()) {
        std::string ignored;
        settings.WriteString(kFirmwareFolderValue, chosen, ignored);
    }
    return chosen;
}

// ------------------------------------------------------------------ called by the pages

void CUpdaterPropertySheet::StartIdentification() {
    ConnectionChoice choice;
    choice.connectionType = m_connectPage.connectionType;
    choice.serialPort = static_cast<uint16_t>(m_connectPage.serialPort);
    choice.tcpAddress = m_connectPage.tcpAddress;
    choice.tcpPort = static_cast<uint16_t>(m_connectPage.tcpPort);
    m_procedure->SetConnectionChoice(choice);

    SetStyled(m_infoPage.status, LoadText(201, language), false);
    SetButtonStates(false, false, false);
    m_procedure->StartIdentification();
}

void CUpdaterPropertySheet::StartFlashing() {
    // Without samples the DSP firmware is the second stage.
    const FlashPlan& plan = m_procedure->Plan();
    if (plan.Stage(2) != nullptr) {
        m_updatePage.stage2.SetText(plan.Label(2, language));
    }
    m_updatePage.status.SetText(LoadText(m_procedure->m_biosRunning ? 212 : 211, language));
    SetButtonStates(false, false, false);
    m_procedure->StartFlashing();
}

void CUpdaterPropertySheet::ShowLogFile() {
    const std::string path = m_procedure->LogPath();
    if (path.empty() || m_fileOpener(Handle(), path)) {
        return;
    }
    // No program for text files: the log is shown here instead of nowhere.
    if (m_logWindow == nullptr) {
        m_logWindow = std::make_unique<CLogWindow>(language, Handle());
    }
    m_logWindow->ShowFile(path);
}

void CUpdaterPropertySheet::RestoreWizardButtons() {
    MoveTo(Button(kBack), m_backRect);
    MoveTo(Button(kFinish), m_finishRect);
    SetWindowTextW(Button(kBack), m_backText.c_str());
    ShowWindow(Button(kCancel), SW_SHOW);
    // The Connect page again; the next identification starts when the user presses Next.
    PostMessageW(Handle(), PSM_SETCURSEL, kConnectPage, 0);
}

// ------------------------------------------------------------------ the procedure's messages

void CUpdaterPropertySheet::Post(uint32_t message, int64_t wParam, int64_t lParam) {
    HWND window = m_window.load();
    if (window != nullptr) {
        PostMessageW(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    }
}

void CUpdaterPropertySheet::SetIdentifyStatus(int textNumber) {
    Post(kIdentifyStatusMessage, textNumber, 0);
}

void CUpdaterPropertySheet::OnIdentified(int32_t outcome) {
    // The worker ends right after its last message.
    m_procedure->WaitForWorker();

    const IdentificationVerdict verdict =
        DecideIdentification(outcome, m_procedure->StateForChecks(), language);

    CInfoPropertyPage& page = m_infoPage;
    page.closeNote.Show(false);
    page.waitLine.Stop();
    if (verdict.status.changed) {
        SetStyled(page.status, verdict.status.text, verdict.status.errorStyle);
    }
    if (verdict.detail.changed) {
        SetStyled(page.detail, verdict.detail.text, verdict.detail.errorStyle);
        page.detail.Show(true);
    }
    for (int id : {IDC_INFO_CURRENT_LABEL, IDC_INFO_FLASH_LABEL}) {
        ShowWindow(page.Item(id), verdict.showVersions ? SW_SHOW : SW_HIDE);
    }
    page.currentVersion.Show(verdict.showVersions);
    page.versionToFlash.Show(verdict.showVersions);
    page.hint.Show(verdict.showVersions);
    if (verdict.showVersions) {
        page.currentVersion.SetText(m_procedure->m_currentVersion);
        page.versionToFlash.SetText(m_procedure->m_versionToFlash);
    }
    if (verdict.hint.changed) {
        SetStyled(page.hint, verdict.hint.text, verdict.hint.errorStyle);
        page.hint.Show(true);
    }
    if (!verdict.mayGoOn) {
        ShowReasons(outcome);
    }
    if (verdict.mayGoOn) {
        PropSheet_SetWizButtons(Handle(), PSWIZB_BACK | PSWIZB_NEXT);
    }
    SetButtonStates(true, verdict.mayGoOn, true);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
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
    std::string text = m_infoPage.detail.Text();
    bool added = false;
    for (const std::string& line : reasons) {
        if (!line.empty()) {
            text += (text.empty() ? "" : "\n") + line;
            added = true;
        }
    }
    if (!added) {
        return;
    }
    // Nothing else is shown below the detail now: it may take the room.
    if (!IsWindowVisible(m_infoPage.hint.Handle())) {
        m_infoPage.ExtendDetail();
    }
    m_infoPage.detail.SetText(text);
    m_infoPage.detail.Show(true);
}

void CUpdaterPropertySheet::OnWait(int64_t kind, int64_t maxMs) {
    if (ActivePage() == kUpdatePage) {
        m_updatePage.waitLine.Wait(kind, maxMs);
    } else if (ActivePage() == kInfoPage) {
        m_infoPage.waitLine.Wait(kind, maxMs);
    }
}

void CUpdaterPropertySheet::OnStatusText(int textNumber) {
    m_updatePage.status.SetText(LoadText(textNumber, language));
}

void CUpdaterPropertySheet::OnStage(int stage) {
    CUpdatePropertyPage& page = m_updatePage;
    switch (stage) {
        case 1:
            page.stage1.Show(true);
            page.stage2.Show(m_procedure->Plan().Stage(2) != nullptr);
            page.stage3.Show(m_procedure->Plan().Stage(3) != nullptr);
            ShowWindow(page.Progress(), SW_SHOW);
            break;
        case 2:
            page.stage1.SetTextColor(kGrey);
            page.stage2.SetTextColor(kBlack);
            break;
        case 3:
            page.stage2.SetTextColor(kGrey);
            page.stage3.SetTextColor(kBlack);
            break;
        case 4:
            page.stage1.Show(false);
            page.stage2.Show(false);
            page.stage3.Show(false);
            ShowWindow(page.Progress(), SW_HIDE);
            break;
        default:
            break;
    }
}

void CUpdaterPropertySheet::OnProgressRange(int minimum, int maximum) {
    HWND bar = m_updatePage.Progress();
    // The bar's bounds are 16-bit in its classic message; the 32-bit one keeps large files.
    SendMessageW(bar, PBM_SETRANGE32, minimum, maximum);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    SendMessageW(bar, PBM_SETPOS, minimum, 0);
    UpdateWindow(bar);
}

void CUpdaterPropertySheet::OnProgressStep() {
    SendMessageW(m_updatePage.Progress(), PBM_STEPIT, 0, 0);
}

void CUpdaterPropertySheet::OnUpdateFinished(int32_t result, int32_t lastBlockResult) {
    m_procedure->WaitForWorker();
    CUpdatePropertyPage& page = m_updatePage;
    page.closeNote.Show(false);
    page.waitLine.Stop();
    if (result != UPD_OK) {
        SetStyled(page.status, LoadText(214, language), true);
        page.detail.SetText(UpdateResultText(result, lastBlockResult, language));
        page.detail.Show(true);
        page.failureNote.SetText(
            FlashFailureNote(result, m_procedure->EndState(), FrontEnd::Wizard, language));
        page.failureNote.Show(!page.failureNote.Text().empty());
        // Said in its place when no log could be written anywhere.
        if (m_procedure->LogPath().empty()) {
            page.noLogNote.SetText(WizardString(WizardText::NoLogFile, language));
            page.noLogNote.Show(true);
        } else {
            ShowWindow(page.Item(IDC_SHOW_LOG), SW_SHOW);
        }
    } else {
        m_procedure->WriteLog("Update finished successfully.");
        m_procedure->WriteLog("New firmware version:  " + m_procedure->m_currentVersion);
        SetStyled(page.status, LoadText(215, language), false);
        page.newVersion.SetText(m_procedure->m_currentVersion);
        ShowWindow(page.Item(IDC_NEW_VERSION_LABEL), SW_SHOW);
        page.newVersion.Show(true);
    }

    // "<< Start" where Next was, Finish where Cancel was.
    PropSheet_SetFinishText(Handle(), WideFromUtf8(LoadText(216, language)).c_str());
    HWND back = Button(kBack);
    HWND finish = Button(kFinish);
    HWND cancel = Button(kCancel);
    m_backRect = ClientPlace(Handle(), back);
    m_finishRect = ClientPlace(Handle(), finish);
    MoveTo(back, m_finishRect);
    m_backText = WideFromUtf8(WindowTextUtf8(back));
    SetWindowTextUtf8(back, LoadText(218, language));
    const RECT cancelRect = ClientPlace(Handle(), cancel);
    ShowWindow(cancel, SW_HIDE);
    MoveTo(finish, cancelRect);
    ShowWindow(back, SW_SHOW);
    EnableWindow(back, TRUE);
    EnableWindow(finish, TRUE);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    // A TCP connection kept by the reconnection ends with the update.
    m_procedure->m_handler.Close(0);
}
