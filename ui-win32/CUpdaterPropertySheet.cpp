#include "ui-win32/CUpdaterPropertySheet.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "ui-win32/FolderChooser.h"
#include "ui-win32/resource.h"
#include "update/StringManager.h"
#include "update/win32/WideText.h"
#include "wizard/TemplateTexts.h"

namespace {

constexpr int kStringTableId = 135;
// Tasks the logic posted are waiting; at most one is queued at a time.
constexpr UINT kTaskMessage = WM_APP + 0x40;
// More tasks than one turn takes: the rest after the input and painting that came meanwhile
// (a timer's message comes after those, a posted one before them).
constexpr UINT_PTR kTaskTimer = 0x7A18;
constexpr size_t kTasksPerTurn = 64;
// The busy lines count down while they show.
constexpr UINT_PTR kWaitTimer = 0x7A17;
constexpr UINT kWaitTickMs = 200;

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

void EnableIfOther(HWND control, bool enabled) {
    if ((IsWindowEnabled(control) != FALSE) != enabled) {
        EnableWindow(control, enabled);
    }
}

bool OpenWithShell(HWND owner, const std::string& path) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", WideFromUtf8(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
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
    swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\FileVersion", chosen.language, chosen.codePage);
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
      m_fileOpener(OpenWithShell),
      m_folderChooser(::ChooseFolder),
      m_logic(std::make_unique<WizardSheetLogic>(*this, m_settings, language)) {
    m_connectPage.sheet = this;
    m_infoPage.sheet = this;
    m_updatePage.sheet = this;
    m_connectPage.Bind(m_logic->Connect());
    AttachHeaderBitmap();
    StringManager::GetInstance().LoadFromResource(kStringTableId);
}

CUpdaterPropertySheet::~CUpdaterPropertySheet() {
    {
        std::lock_guard<std::mutex> hold(m_tasksLock);
        m_taskWindow = nullptr;
    }
    // Waits for a worker (only reachable when the sheet is torn down from outside, since
    // closing is refused while one runs); what it still posts is dropped with the queue.
    m_logic.reset();
}

bool CUpdaterPropertySheet::Create() {
    if (!CWizard97PropertySheet::Create({&m_connectPage, &m_infoPage, &m_updatePage})) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(m_tasksLock);
        m_taskWindow = Handle();
    }
    SetWindowTextUtf8(Button(kBack), TemplateTextString(TemplateText::BackButton, language));
    SetWindowTextUtf8(Button(kNext), TemplateTextString(TemplateText::NextButton, language));
    SetWindowTextUtf8(Button(kCancel), TemplateTextString(TemplateText::CancelButton, language));
    SetTitleWithVersion();
    // Tasks posted before the window was there.
    PostMessageW(Handle(), kTaskMessage, 0, 0);
    return true;
}

void CUpdaterPropertySheet::SetTitleWithVersion() {
    const std::string version = FileVersionOfProgram();
    if (!version.empty()) {
        SetWindowTextUtf8(Handle(), LoadText(100, language) + " V" + version);
    }
}

// ------------------------------------------------------------------ the pages' events

void CUpdaterPropertySheet::OnPageShown(WizardPage page) {
    m_logic->OnPageShown(page);
}

LRESULT CUpdaterPropertySheet::OnWizardBack() {
    if (m_logic->OnBackPressed() == WizardSheetLogic::BackAction::Restart) {
        // "<< Start": the Connect page, once this notification is over.
        PostMessageW(Handle(), PSM_SETCURSEL, kConnectPage, 0);
        return -1;
    }
    return 0;
}

bool CUpdaterPropertySheet::MayClose() {
    return m_logic->OnCloseRequested();
}

LRESULT CUpdaterPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM /*lParam*/,
                                          bool& handled) {
    handled = true;
    switch (message) {
        case kTaskMessage:
            RunTasks();
            return 0;
        case WM_TIMER:
            if (wParam == kWaitTimer) {
                m_logic->OnWaitTick();
                return 0;
            }
            if (wParam == kTaskTimer) {
                KillTimer(Handle(), kTaskTimer);
                RunTasks();
                return 0;
            }
            break;
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
    m_logic->OnKickIdle(IsWindowVisible(Handle()) != FALSE);
}

// ------------------------------------------------------------------ WizardView

void CUpdaterPropertySheet::PostToGuiThread(std::function<void()> task) {
    std::lock_guard<std::mutex> hold(m_tasksLock);
    m_tasks.push_back(std::move(task));
    if (!m_wakePending && m_taskWindow != nullptr) {
        m_wakePending = PostMessageW(m_taskWindow, kTaskMessage, 0, 0) != FALSE;
    }
}

void CUpdaterPropertySheet::RunTasks() {
    {
        std::lock_guard<std::mutex> hold(m_tasksLock);
        m_wakePending = false;
    }
    for (size_t run = 0; run < kTasksPerTurn; ++run) {
        std::function<void()> task;
        {
            std::lock_guard<std::mutex> hold(m_tasksLock);
            if (m_tasks.empty()) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
    std::lock_guard<std::mutex> hold(m_tasksLock);
    if (!m_tasks.empty() && !m_wakePending && Handle() != nullptr) {
        m_wakePending = SetTimer(Handle(), kTaskTimer, USER_TIMER_MINIMUM, nullptr) != 0;
    }
}

void CUpdaterPropertySheet::ScheduleIdle() {
    RequestIdle();
}

WizardView::Answer CUpdaterPropertySheet::ShowMessageBox(Icon icon, Buttons buttons,
                                                         const std::string& title,
                                                         const std::string& text) {
    const UINT style = (buttons == Buttons::Ok ? MB_OK : MB_OKCANCEL) |
                       (icon == Icon::Critical ? MB_ICONERROR : MB_ICONQUESTION);
    const int answer =
        MessageBoxW(Handle(), WideFromUtf8(text).c_str(), WideFromUtf8(title).c_str(), style);
    return answer == IDOK ? Answer::Ok : Answer::Cancel;
}

std::string CUpdaterPropertySheet::ChooseFolder(const std::string& title,
                                                const std::string& start) {
    return m_folderChooser(Handle(), title, start);
}

bool CUpdaterPropertySheet::OpenInDesktop(const std::string& path) {
    return m_fileOpener(Handle(), path);
}

void CUpdaterPropertySheet::ShowLogWindow(const std::string& path) {
    if (m_logWindow == nullptr) {
        m_logWindow = std::make_unique<CLogWindow>(language, Handle());
    }
    m_logWindow->ShowFile(path);
}

void CUpdaterPropertySheet::EndWizard() {
    End();
}

void CUpdaterPropertySheet::Render() {
    if (Handle() == nullptr) {
        return;
    }
    const WizardState& state = m_logic->State();
    m_connectPage.Render();
    m_infoPage.Render(state.info);
    m_updatePage.Render(state.update);
    RenderButtons(state.buttons);
    const bool waiting = state.info.wait.active || state.update.wait.active;
    if (waiting != m_waitTimer) {
        m_waitTimer = waiting;
        if (waiting) {
            SetTimer(Handle(), kWaitTimer, kWaitTickMs, nullptr);
        } else {
            KillTimer(Handle(), kWaitTimer);
        }
    }
}

void CUpdaterPropertySheet::RenderButtons(const ButtonsState& buttons) {
    if (buttons.endButtons != m_endButtons) {
        if (buttons.endButtons) {
            ShowEndButtons(buttons.endBackCaption);
        } else {
            ShowNormalButtons();
        }
    }
    EnableIfOther(Button(kBack), buttons.back);
    EnableIfOther(Button(kNext), buttons.next);
    EnableIfOther(Button(kCancel), buttons.cancel);
    if (m_endButtons) {
        EnableIfOther(Button(kFinish), buttons.finish);
    }
}

void CUpdaterPropertySheet::ShowEndButtons(const std::string& backCaption) {
    m_endButtons = true;
    // The wizard's own Finish, then "<< Start" where Next was and Finish where Cancel was.
    PropSheet_SetFinishText(Handle(), WideFromUtf8(LoadText(216, language)).c_str());
    HWND back = Button(kBack);
    HWND finish = Button(kFinish);
    HWND cancel = Button(kCancel);
    m_backRect = ClientPlace(Handle(), back);
    m_finishRect = ClientPlace(Handle(), finish);
    MoveTo(back, m_finishRect);
    m_backText = WideFromUtf8(WindowTextUtf8(back));
    SetWindowTextUtf8(back, backCaption);
    const RECT cancelRect = ClientPlace(Handle(), cancel);
    ShowWindow(cancel, SW_HIDE);
    MoveTo(finish, cancelRect);
    ShowWindow(back, SW_SHOW);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void CUpdaterPropertySheet::ShowNormalButtons() {
    m_endButtons = false;
    MoveTo(Button(kBack), m_backRect);
    MoveTo(Button(kFinish), m_finishRect);
    SetWindowTextW(Button(kBack), m_backText.c_str());
    ShowWindow(Button(kCancel), SW_SHOW);
}
