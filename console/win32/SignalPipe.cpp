// The console's control events queued as signal numbers behind a manual-reset event that is
// set while a number waits (and once stopped). Windows runs the handler on a thread of its
// own, so a mutex is enough to guard the queue.
#include "console/SignalPipe.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "console/win32/ConsoleControl.h"
#include "console/win32/InterruptEvent.h"
#include "transport/SystemErrorText.h"

namespace {

struct Queue {
    std::mutex mutex;
    std::condition_variable stopped;  // a closing console's handler waits on it
    std::deque<int> numbers;
    bool listening = false;  // between the constructor and Stop()
    HANDLE event = nullptr;
    HANDLE interrupt = nullptr;  // set by a parent that cannot reach us through the console
    HANDLE interruptWait = nullptr;
};

Queue g_queue;
std::atomic<bool> g_active{false};

int SignalOf(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return kSignalInterrupt;
        case CTRL_CLOSE_EVENT:
            return kSignalHangUp;
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return kSignalTerminate;
        default:
            return 0;
    }
}

BOOL WINAPI OnConsoleControl(DWORD event) {
    return HandleConsoleControl(event, kConsoleCloseGrace);
}

void CALLBACK OnInterruptEvent(void*, BOOLEAN) {
    HandleConsoleControl(CTRL_BREAK_EVENT, std::chrono::milliseconds(0));
}

}  // namespace

BOOL HandleConsoleControl(DWORD event, std::chrono::milliseconds grace) {
    const int number = SignalOf(event);
    std::unique_lock<std::mutex> lock(g_queue.mutex);
    if (number == 0 || !g_queue.listening) {
        return FALSE;
    }
    g_queue.numbers.push_back(number);
    SetEvent(g_queue.event);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    g_queue.stopped.wait_for(lock, grace, [] { return !g_queue.listening; });
    return TRUE;
}

SignalPipe::SignalPipe() {
    if (g_active.exchange(true)) {
        error_ = "the signals are watched elsewhere in this program already";
        return;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        error_ = "CreateEvent: " + SystemErrorText(static_cast<int>(GetLastError()));
        g_active = false;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(g_queue.mutex);
        g_queue.numbers.clear();
        g_queue.event = event;
        g_queue.listening = true;
    }
    // A process started with Ctrl-C ignored (in a process group of its own, or after
    // SetConsoleCtrlHandler(NULL, TRUE)) is not called for it: it stays ignored.
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
        error_ = "SetConsoleCtrlHandler: " + SystemErrorText(static_cast<int>(GetLastError()));
        std::lock_guard<std::mutex> lock(g_queue.mutex);
        g_queue.listening = false;
        g_queue.event = nullptr;
        CloseHandle(event);
        g_active = false;
        return;
    }
    // Without it a parent can still reach us through the console.
    g_queue.interrupt =
        CreateEventW(nullptr, FALSE, FALSE, InterruptEventName(GetCurrentProcessId()).c_str());
    if (g_queue.interrupt != nullptr &&
        !RegisterWaitForSingleObject(&g_queue.interruptWait, g_queue.interrupt, OnInterruptEvent,
                                     nullptr, INFINITE, WT_EXECUTEDEFAULT)) {
        g_queue.interruptWait = nullptr;
    }
    valid_ = true;
}

SignalPipe::~SignalPipe() {
    if (!valid_) {
        return;
    }
    Stop();
    std::lock_guard<std::mutex> lock(g_queue.mutex);
    CloseHandle(g_queue.event);
    g_queue.event = nullptr;
    g_active = false;
}

SystemHandle SignalPipe::Handle() const {
    return {valid_ ? reinterpret_cast<std::intptr_t>(g_queue.event) : -1};
}

std::vector<int> SignalPipe::Take() {
    std::vector<int> numbers;
    if (!valid_) {
        return numbers;
    }
    std::lock_guard<std::mutex> lock(g_queue.mutex);
    numbers.assign(g_queue.numbers.begin(), g_queue.numbers.end());
    g_queue.numbers.clear();
    ResetEvent(g_queue.event);
    return numbers;
}

int SignalPipe::Wait(std::optional<std::chrono::milliseconds> bound) {
    if (!valid_) {
        return 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound.value_or(std::chrono::hours(0));
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(g_queue.mutex);
            if (!g_queue.numbers.empty()) {
                const int number = g_queue.numbers.front();
                g_queue.numbers.pop_front();
                if (g_queue.numbers.empty() && g_queue.listening) {
                    ResetEvent(g_queue.event);
                }
                return number;
            }
            if (!g_queue.listening) {
                return 0;
            }
        }
        DWORD timeout = INFINITE;
        if (bound) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0) {
                return 0;
            }
            timeout = static_cast<DWORD>(left.count());
        }
        if (WaitForSingleObject(g_queue.event, timeout) == WAIT_TIMEOUT) {
            return 0;
        }
    }
}

void SignalPipe::Stop() {
    if (!valid_ || stopped_) {
        return;
    }
    stopped_ = true;
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    if (g_queue.interruptWait != nullptr) {
        UnregisterWaitEx(g_queue.interruptWait, INVALID_HANDLE_VALUE);  // and its callback ran
        g_queue.interruptWait = nullptr;
    }
    if (g_queue.interrupt != nullptr) {
        CloseHandle(g_queue.interrupt);
        g_queue.interrupt = nullptr;
    }
    std::lock_guard<std::mutex> lock(g_queue.mutex);
    g_queue.listening = false;
    SetEvent(g_queue.event);  // ends a Wait in another thread
    g_queue.stopped.notify_all();
}
