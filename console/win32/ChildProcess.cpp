// CreateProcessW with the child's streams handed over by inheritance of exactly the three
// handles it needs (its pipes are ChildPipes). A job object that ends its processes when its
// last handle closes ties every child to our life, a crash included.
#include "console/ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "console/SignalPipe.h"
#include "console/win32/ChildPipe.h"
#include "console/win32/CommandLineQuoting.h"
#include "console/win32/EnvironmentBlock.h"
#include "console/win32/InterruptEvent.h"
#include "transport/SystemErrorText.h"
#include "transport/win32/WideText.h"

namespace {

std::string Reason(const std::string& what, DWORD error = GetLastError()) {
    return what + ": " + SystemErrorText(static_cast<int>(error));
}

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    handle = nullptr;
}

// What the child gets for one stream: a handle of ours made inheritable for the start, closed
// after it.
struct StreamEnds {
    HANDLE childEnd = nullptr;
};

SECURITY_ATTRIBUTES Inheritable() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    return attributes;
}

// A copy the child may inherit; the original stays as it was.
HANDLE InheritableCopy(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

bool OpenStream(const ChildStream& stream, int which, StreamEnds& ends, ChildPipe* pipe,
                std::string& error) {
    static constexpr DWORD kStandard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    const bool input = which == 0;
    SECURITY_ATTRIBUTES inherit = Inheritable();
    switch (stream.kind) {
        case ChildStream::Kind::Inherit:
            ends.childEnd = InheritableCopy(GetStdHandle(kStandard[which]));
            return true;
        case ChildStream::Kind::Null:
            ends.childEnd = CreateFileW(L"NUL", input ? GENERIC_READ : GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                        0, nullptr);
            if (ends.childEnd == INVALID_HANDLE_VALUE) {
                ends.childEnd = nullptr;
                error = Reason("NUL");
                return false;
            }
            return true;
        case ChildStream::Kind::File:
            // Shared for reading and deleting, so that the file can be followed and cleaned up
            // while the child writes.
            ends.childEnd = CreateFileW(
                Widen(stream.path).c_str(), input ? GENERIC_READ : FILE_APPEND_DATA | SYNCHRONIZE,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                input ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (ends.childEnd == INVALID_HANDLE_VALUE) {
                ends.childEnd = nullptr;
                error = Reason(stream.path);
                return false;
            }
            return true;
        case ChildStream::Kind::Handle:
            ends.childEnd = InheritableCopy(reinterpret_cast<HANDLE>(stream.handle.native));
            if (ends.childEnd == nullptr) {
                error = Reason("the handle for the child's stream");
                return false;
            }
            return true;
        case ChildStream::Kind::Pipe:
            if (input) {
                error = "a pipe to the child's input is not offered";
                return false;
            }
            return pipe->Make(ends.childEnd, error);
    }
    return true;
}

// Handles are made inheritable only for the start, and one start at a time: another child
// started meanwhile would inherit them and hold a pipe open after ours ended.
std::mutex g_startMutex;

constexpr DWORD kControlCExit = 0xC000013Au;  // ended by the default handler of a Ctrl-C

// An exception code as a process's exit code: a crash, where POSIX would name a signal. Only
// the system's error codes and a breakpoint: exit(-1) is no crash.
bool IsCrash(DWORD code) {
    return (code >> 28) == 0xCu || code == 0x80000003u;
}

}  // namespace

struct ChildProcess::State {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    DWORD pid = 0;
    bool ownGroup = false;
    ChildPipe output;
    ChildPipe error;
    int endedBy = 0;  // the signal number Signal() or Kill() ended it with
    std::optional<ChildExit> exit;
    std::string startError;

    ChildExit Decode(DWORD code) const {
        if (code == kControlCExit) {
            return ChildExit{false, -1, kSignalInterrupt};  // as SIGINT's default would end it
        }
        if (IsCrash(code)) {
            return ChildExit{false, -1, static_cast<int>(code)};
        }
        if (endedBy != 0 && code == static_cast<DWORD>(128 + endedBy)) {
            return ChildExit{false, -1, endedBy};
        }
        return ChildExit{true, static_cast<int>(code), 0};
    }

    void Reap() {
        DWORD code = 0;
        exit = GetExitCodeProcess(process, &code) ? Decode(code) : ChildExit{true, -1, 0};
    }
};

ChildProcess::ChildProcess() : state_(std::make_unique<State>()) {}

ChildProcess::ChildProcess(const ChildOptions& options) : state_(std::make_unique<State>()) {
    State& s = *state_;
    StreamEnds ends[3];
    ChildPipe* pipes[3] = {nullptr, &s.output, &s.error};
    const ChildStream* streams[3] = {&options.input, &options.output, &options.error};
    const auto closeChildEnds = [&] {
        for (StreamEnds& e : ends) {
            CloseIfOpen(e.childEnd);
        }
    };
    const auto fail = [&](std::string why) {
        s.startError = std::move(why);
        closeChildEnds();
        s.output.Close();
        s.error.Close();
    };
    std::lock_guard<std::mutex> lock(g_startMutex);
    for (int i = 0; i < 3; ++i) {
        std::string why;
        if (!OpenStream(*streams[i], i, ends[i], pipes[i], why)) {
            fail(why);
            return;
        }
    }

    const bool inJob = options.whenParentEnds != ChildOptions::WhenParentEnds::Nothing;
    if (inJob) {
        s.job = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (s.job == nullptr || !SetInformationJobObject(s.job, JobObjectExtendedLimitInformation,
                                                         &limits, sizeof limits)) {
            fail(Reason("a job object for the child"));
            CloseIfOpen(s.job);
            return;
        }
    }

    // Only the three handles are inherited where the system can be told so.
    std::vector<HANDLE> inherited;
    for (const StreamEnds& e : ends) {
        if (e.childEnd != nullptr) {
            inherited.push_back(e.childEnd);
        }
    }
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<char> listMemory(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    const bool haveList =
        !inherited.empty() && InitializeProcThreadAttributeList(list, 1, 0, &listSize) &&
        UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                  inherited.size() * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = ends[0].childEnd;
    startup.StartupInfo.hStdOutput = ends[1].childEnd;
    startup.StartupInfo.hStdError = ends[2].childEnd;
    startup.lpAttributeList = haveList ? list : nullptr;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    if (inJob) {
        flags |= CREATE_SUSPENDED;  // it runs only once it is in the job
    }
    if (options.ownProcessGroup) {
        flags |= CREATE_NEW_PROCESS_GROUP;
    }
    std::wstring environment;
    if (!options.environment.empty()) {
        environment = EnvironmentBlock(options.environment);
    }
    const std::wstring program = Widen(options.program);
    std::wstring commandLine = Widen(CommandLine(options.program, options.arguments));
    PROCESS_INFORMATION started{};
    const BOOL created =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, !inherited.empty(),
                       flags, environment.empty() ? nullptr : environment.data(), nullptr,
                       &startup.StartupInfo, &started);
    const DWORD createError = GetLastError();
    if (haveList) {
        DeleteProcThreadAttributeList(list);
    }
    if (!created) {
        fail(Reason(options.program, createError));
        CloseIfOpen(s.job);
        return;
    }
    closeChildEnds();
    if (inJob && !AssignProcessToJobObject(s.job, started.hProcess)) {
        // Never a child that may outlive us unnoticed.
        const std::string why = Reason("the child could not be tied to this process's end");
        TerminateProcess(started.hProcess, 127);
        WaitForSingleObject(started.hProcess, INFINITE);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        fail(why);
        CloseIfOpen(s.job);
        return;
    }
    if (inJob) {
        ResumeThread(started.hThread);
    }
    CloseHandle(started.hThread);
    s.process = started.hProcess;
    s.pid = started.dwProcessId;
    s.ownGroup = options.ownProcessGroup;
    s.output.Start();
    s.error.Start();
}

ChildProcess::~ChildProcess() {
    if (!state_) {
        return;
    }
    Kill();
    state_->output.Close();
    state_->error.Close();
    CloseIfOpen(state_->process);
    CloseIfOpen(state_->job);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept = default;

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        ChildProcess ended(std::move(*this));  // ours is killed and closed here
        state_ = std::move(other.state_);
    }
    return *this;
}

bool ChildProcess::Started() const {
    return state_ && state_->process != nullptr;
}

const std::string& ChildProcess::StartError() const {
    static const std::string none;
    return state_ ? state_->startError : none;
}

ChildProcess::Id ChildProcess::ProcessId() const {
    return Started() ? static_cast<Id>(state_->pid) : -1;
}

SystemHandle ChildProcess::OutputHandle() const {
    return {state_ && state_->output.Open()
                ? reinterpret_cast<std::intptr_t>(state_->output.Event())
                : -1};
}

SystemHandle ChildProcess::ErrorHandle() const {
    return {state_ && state_->error.Open() ? reinterpret_cast<std::intptr_t>(state_->error.Event())
                                           : -1};
}

ChildRead ChildProcess::ReadOutput(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? state_->output.Read(into, bound) : ChildRead::Closed;
}

ChildRead ChildProcess::ReadError(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? state_->error.Read(into, bound) : ChildRead::Closed;
}

std::optional<ChildExit> ChildProcess::Wait(std::chrono::milliseconds bound) {
    if (!Started() || state_->exit) {
        return state_ ? state_->exit : std::nullopt;
    }
    const DWORD limit =
        static_cast<DWORD>(std::clamp<std::int64_t>(bound.count(), 0, INFINITE - 1));
    if (WaitForSingleObject(state_->process, limit) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    state_->Reap();
    return state_->exit;
}

bool ChildProcess::Interrupt() {
    if (!Started() || state_->exit) {
        return false;
    }
    // A console sends its control events to process groups: the child's own group, or ours,
    // which would interrupt us as well.
    if (state_->ownGroup && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->pid)) {
        return true;
    }
    // No console in common (or Wine's, which delivers no Ctrl-Break): a child that watches
    // its signals listens to its interrupt event too.
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, InterruptEventName(state_->pid).c_str());
    if (event == nullptr) {
        return false;
    }
    const bool set = SetEvent(event);
    CloseHandle(event);
    return set;
}

bool ChildProcess::Signal(int number) {
    if (number == kSignalInterrupt) {
        return Interrupt();
    }
    if (!Started() || state_->exit || number <= 0) {
        return false;
    }
    // Windows has no gentler end: the exit code says which signal it stood for.
    state_->endedBy = number;
    return TerminateProcess(state_->process, static_cast<UINT>(128 + number));
}

void ChildProcess::Kill() {
    if (!Started() || state_->exit) {
        return;
    }
    constexpr int kKillSignal = 9;
    state_->endedBy = kKillSignal;
    // The job ends what the child started as well.
    if (state_->job == nullptr || !TerminateJobObject(state_->job, 128 + kKillSignal)) {
        TerminateProcess(state_->process, 128 + kKillSignal);
    }
    WaitForSingleObject(state_->process, INFINITE);
    state_->Reap();
}

std::string ChildProcess::ThisProgram(std::string& error) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            error = SystemErrorText(static_cast<int>(GetLastError()));
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string DescribeSignal(int signal) {
    struct Name {
        DWORD code;
        const char* text;
    };
    // The ends a user meets, in the words of the Windows documentation.
    static constexpr Name kCrashes[] = {
        {0xC0000005u, "Access violation"},
        {0xC00000FDu, "Stack overflow"},
        {0xC0000094u, "Integer division by zero"},
        {0xC000008Eu, "Floating-point division by zero"},
        {0xC000001Du, "Illegal instruction"},
        {0xC0000096u, "Privileged instruction"},
        {0xC0000006u, "In-page error"},
        {0xC0000409u, "Stack buffer overrun (fail fast)"},
        {0xC0000374u, "Heap corruption"},
        {0xC0000135u, "DLL not found"},
        {0xC0000142u, "DLL initialization failed"},
        {0x80000003u, "Breakpoint"},
    };
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(signal));
    if (signal < 0) {
        for (const Name& name : kCrashes) {
            if (name.code == static_cast<DWORD>(signal)) {
                return std::string(name.text) + " (" + code + ")";
            }
        }
        return std::string("Exception ") + code;
    }
    // What Signal() and Kill() stood in for.
    switch (signal) {
        case kSignalHangUp:
            return "Hangup";
        case kSignalInterrupt:
            return "Interrupt";
        case 9:
            return "Killed";
        case kSignalTerminate:
            return "Terminated";
        default:
            return "Signal " + std::to_string(signal);
    }
}
