// CreateProcessW with the child's streams handed over by inheritance of exactly the three
// handles it needs; its pipes are named pipes whose read end is overlapped, so that a read has
// a bound and its pending read's event is what WaitReadable waits on. A job object that ends
// its processes when its last handle closes ties every child to our life, a crash included.
#include "console/ChildProcess.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwctype>
#include <mutex>

#include "console/SignalPipe.h"
#include "console/win32/CommandLineQuoting.h"
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

// The parent's end of one output pipe, with the read that is always pending on it.
struct PipeReader {
    HANDLE pipe = nullptr;
    HANDLE event = nullptr;  // set when the pending read completed, or the pipe ended
    OVERLAPPED overlapped{};
    char buffer[4096];
    bool pending = false;

    bool Open() const { return pipe != nullptr; }

    void Close() {
        if (pending) {
            CancelIoEx(pipe, &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);  // the buffer is ours again
            pending = false;
        }
        CloseIfOpen(pipe);
        CloseIfOpen(event);
    }

    // False when the pipe ended (the data of a read that completed at once stays for Collect).
    bool StartRead() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = event;
        if (ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped) ||
            GetLastError() == ERROR_IO_PENDING) {
            pending = true;
            return true;
        }
        return false;
    }

    // Appends what the pending read brought; false once the pipe ended.
    enum class Outcome { Data, Nothing, Ended };
    Outcome Collect(std::string& into) {
        DWORD got = 0;
        if (!GetOverlappedResult(pipe, &overlapped, &got, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE) {
                return Outcome::Nothing;
            }
            pending = false;
            return Outcome::Ended;  // the writer closed its end, or an error no read mends
        }
        pending = false;
        into.append(buffer, got);
        return StartRead() ? Outcome::Data : Outcome::Ended;
    }
};

ChildRead ReadFrom(PipeReader& reader, std::string& into, std::chrono::milliseconds bound) {
    if (!reader.Open()) {
        return ChildRead::Closed;
    }
    bool got = false;
    bool waited = bound.count() <= 0;
    for (;;) {
        switch (reader.Collect(into)) {
            case PipeReader::Outcome::Data:
                got = true;
                continue;
            case PipeReader::Outcome::Ended:
                reader.Close();
                return ChildRead::Closed;
            case PipeReader::Outcome::Nothing:
                break;
        }
        if (got || waited) {
            return got ? ChildRead::Data : ChildRead::Nothing;
        }
        WaitForSingleObject(
            reader.event, static_cast<DWORD>(std::min<std::int64_t>(bound.count(), INFINITE - 1)));
        waited = true;
    }
}

// What the child gets for one stream: a handle of ours made inheritable for the start, closed
// after it; for a pipe also the parent's end.
struct StreamEnds {
    HANDLE childEnd = nullptr;
    PipeReader* reader = nullptr;
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

bool MakePipe(StreamEnds& ends, PipeReader& reader, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const std::wstring name = L"\\\\.\\pipe\\tarvelin-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++);
    reader.pipe = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096,
        0, nullptr);
    if (reader.pipe == INVALID_HANDLE_VALUE) {
        reader.pipe = nullptr;
        error = Reason("CreateNamedPipe");
        return false;
    }
    reader.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SECURITY_ATTRIBUTES inherit = Inheritable();
    ends.childEnd =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    if (reader.event == nullptr || ends.childEnd == INVALID_HANDLE_VALUE) {
        error = Reason("pipe");
        ends.childEnd = nullptr;
        reader.Close();
        return false;
    }
    ends.reader = &reader;
    return true;
}

bool OpenStream(const ChildStream& stream, int which, StreamEnds& ends, PipeReader* reader,
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
            return MakePipe(ends, *reader, error);
    }
    return true;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

std::wstring NameOf(const std::wstring& variable) {
    // "=C:=C:\\folder" is the current folder of drive C: its name begins after the first '='.
    return variable.substr(0, variable.find(L'=', 1));
}

// `first` ahead of this process's own variables, in the order Windows keeps them (sorted by
// name, case ignored).
std::wstring EnvironmentBlock(const std::vector<std::string>& first) {
    std::vector<std::wstring> variables;
    for (const std::string& variable : first) {
        variables.push_back(Widen(variable));
    }
    const size_t given = variables.size();
    if (wchar_t* ours = GetEnvironmentStringsW()) {
        for (const wchar_t* v = ours; *v != L'\0'; v += wcslen(v) + 1) {
            const std::wstring variable = v;
            const std::wstring name = NameOf(variable);
            if (std::none_of(variables.begin(), variables.begin() + static_cast<long>(given),
                             [&](const std::wstring& w) { return SameName(NameOf(w), name); })) {
                variables.push_back(variable);
            }
        }
        FreeEnvironmentStringsW(ours);
    }
    std::stable_sort(
        variables.begin(), variables.end(), [](const std::wstring& a, const std::wstring& b) {
            const std::wstring x = NameOf(a);
            const std::wstring y = NameOf(b);
            return std::lexicographical_compare(
                x.begin(), x.end(), y.begin(), y.end(),
                [](wchar_t p, wchar_t q) { return std::towupper(p) < std::towupper(q); });
        });
    std::wstring block;
    for (const std::wstring& variable : variables) {
        block += variable;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// Handles are made inheritable only for the start, and one start at a time: another child
// started meanwhile would inherit them and hold a pipe open after ours ended.
std::mutex g_startMutex;

// An exception code as a process's exit code: a crash, where POSIX would name a signal.
bool IsCrash(DWORD code) {
    return code >= 0xC0000000u || code == 0x80000003u;  // errors, and a breakpoint
}

}  // namespace

struct ChildProcess::State {
    HANDLE process = nullptr;
    HANDLE job = nullptr;
    DWORD pid = 0;
    bool ownGroup = false;
    PipeReader output;
    PipeReader error;
    int endedBy = 0;  // the signal number Signal() or Kill() ended it with
    std::optional<ChildExit> exit;
    std::string startError;

    ChildExit Decode(DWORD code) const {
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
    PipeReader* readers[3] = {nullptr, &s.output, &s.error};
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
        if (!OpenStream(*streams[i], i, ends[i], readers[i], why)) {
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
    for (PipeReader* reader : {&s.output, &s.error}) {
        if (reader->Open() && !reader->StartRead()) {
            SetEvent(reader->event);  // ended already: the next read reports it
        }
    }
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
    return {state_ && state_->output.Open() ? reinterpret_cast<std::intptr_t>(state_->output.event)
                                            : -1};
}

SystemHandle ChildProcess::ErrorHandle() const {
    return {state_ && state_->error.Open() ? reinterpret_cast<std::intptr_t>(state_->error.event)
                                           : -1};
}

ChildRead ChildProcess::ReadOutput(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? ReadFrom(state_->output, into, bound) : ChildRead::Closed;
}

ChildRead ChildProcess::ReadError(std::string& into, std::chrono::milliseconds bound) {
    return state_ ? ReadFrom(state_->error, into, bound) : ChildRead::Closed;
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
    // A console sends its control events to process groups: the child's own group, or ours,
    // which would interrupt us as well.
    return Started() && !state_->exit && state_->ownGroup &&
           GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->pid);
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
        {0xC000013Au, "Ended by Ctrl-C"},
        {0x80000003u, "Breakpoint"},
    };
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(signal));
    if (signal < 0 || IsCrash(static_cast<DWORD>(signal))) {
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
