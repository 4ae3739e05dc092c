#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A hidden window without a window system: a queue of posted messages that belongs to the
// thread that built it. Post never blocks and may be called from any thread; the owning thread
// drains the queue with DispatchPending, which calls WindowProc once per message in posting
// order. A wake-up callback (called after each Post, on the posting thread) lets an event loop
// schedule that drain; a command-line loop blocks in WaitForMessages instead.
class MessageWindow {
public:
    static constexpr const char* kClassName = "(-: MessageWindow :-)";

    MessageWindow();
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // By default a message is consumed without effect and gives 0.
    virtual intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // False once the window is being destroyed; the message is then dropped.
    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Owner thread only: dispatches the messages queued when it was called. Returns how many,
    // or -1 on another thread (nothing dispatched).
    int DispatchPending();
    // True when messages are waiting, at most `timeoutMs` (negative: no limit) after the call.
    bool WaitForMessages(int32_t timeoutMs);
    // Drops the queued messages with this number; returns how many.
    int DiscardPending(uint32_t message);
    void SetWakeup(std::function<void()> wakeup);
    int PendingCount();

    // The process-wide registration of the window class: registered while any window exists.
    static int InstanceCount();
    static bool IsClassRegistered();
    static int RegistrationCount();  // how often the class was registered since start

    uintptr_t hwnd = 0;  // this window's number, never 0 once built
    const std::thread::id ownerThread;

private:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };

    std::mutex queueLock_;
    std::condition_variable posted_;
    std::deque<Message> queue_;
    std::shared_ptr<const std::function<void()>> wakeup_;
    bool closing_ = false;
};
