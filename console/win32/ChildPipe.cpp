#include "console/win32/ChildPipe.h"

#include <algorithm>
#include <atomic>

#include "transport/SystemErrorText.h"

bool ChildPipe::Make(HANDLE& childEnd, std::string& error) {
    static std::atomic<unsigned> counter{0};
    const std::wstring name = L"\\\\.\\pipe\\tarvelin-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++);
    pipe_ = CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 4096, 4096,
        0, nullptr);
    if (pipe_ == INVALID_HANDLE_VALUE) {
        pipe_ = nullptr;
        error = "CreateNamedPipe: " + SystemErrorText(static_cast<int>(GetLastError()));
        return false;
    }
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    // The child writes as to any file: its end is not overlapped.
    childEnd = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    if (event_ == nullptr || childEnd == INVALID_HANDLE_VALUE) {
        error = "pipe: " + SystemErrorText(static_cast<int>(GetLastError()));
        childEnd = nullptr;
        Close();
        return false;
    }
    return true;
}

void ChildPipe::Start() {
    if (Open() && !StartRead()) {
        SetEvent(event_);  // ended already: the next read reports it
    }
}

void ChildPipe::Close() {
    if (pending_) {
        CancelIoEx(pipe_, &overlapped_);
        DWORD ignored = 0;
        GetOverlappedResult(pipe_, &overlapped_, &ignored, TRUE);  // the buffer is ours again
        pending_ = false;
    }
    for (HANDLE* handle : {&pipe_, &event_}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

bool ChildPipe::StartRead() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_;
    // Done at once or pending: Collect takes the result either way.
    pending_ = ReadFile(pipe_, buffer_, sizeof buffer_, nullptr, &overlapped_) ||
               GetLastError() == ERROR_IO_PENDING;
    return pending_;
}

ChildPipe::Outcome ChildPipe::Collect(std::string& into) {
    if (!pending_) {
        return Outcome::Ended;  // the last read could not be started
    }
    DWORD got = 0;
    if (!GetOverlappedResult(pipe_, &overlapped_, &got, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) {
            return Outcome::Nothing;
        }
        pending_ = false;
        return Outcome::Ended;  // the writer closed its end, or an error no read mends
    }
    pending_ = false;
    into.append(buffer_, got);
    return StartRead() ? Outcome::Data : Outcome::Ended;
}

ChildRead ChildPipe::Read(std::string& into, std::chrono::milliseconds bound) {
    if (!Open()) {
        return ChildRead::Closed;
    }
    bool got = false;
    bool waited = bound.count() <= 0;
    for (;;) {
        switch (Collect(into)) {
            case Outcome::Data:
                got = true;
                continue;
            case Outcome::Ended:
                Close();
                return ChildRead::Closed;
            case Outcome::Nothing:
                break;
        }
        if (got || waited) {
            return got ? ChildRead::Data : ChildRead::Nothing;
        }
        WaitForSingleObject(
            event_, static_cast<DWORD>(std::min<std::int64_t>(bound.count(), INFINITE - 1)));
        waited = true;
    }
}
