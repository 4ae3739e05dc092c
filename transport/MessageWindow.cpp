#include "transport/MessageWindow.h"

#include <algorithm>
#include <chrono>

namespace {

struct WindowClass {
    std::mutex lock;
    int instances = 0;
    bool registered = false;
    int registrations = 0;
    uintptr_t lastWindow = 0;
};

WindowClass& Class() {
    static WindowClass windowClass;
    return windowClass;
}

}  // namespace

MessageWindow::MessageWindow() : ownerThread(std::this_thread::get_id()) {
    WindowClass& windowClass = Class();
    std::lock_guard<std::mutex> hold(windowClass.lock);
    if (windowClass.instances == 0) {
        windowClass.registered = true;
        ++windowClass.registrations;
    }
    ++windowClass.instances;
    hwnd = ++windowClass.lastWindow;
}

MessageWindow::~MessageWindow() {
    {
        // No message reaches the object any more, whatever is still queued or being posted.
        std::lock_guard<std::mutex> hold(queueLock_);
        closing_ = true;
        queue_.clear();
        wakeup_.reset();
    }
    WindowClass& windowClass = Class();
    std::lock_guard<std::mutex> hold(windowClass.lock);
    if (--windowClass.instances == 0) {
        windowClass.registered = false;
    }
}

intptr_t MessageWindow::WindowProc(uint32_t, uintptr_t, intptr_t) {
    return 0;
}

bool MessageWindow::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::shared_ptr<const std::function<void()>> wakeup;
    {
        std::lock_guard<std::mutex> hold(queueLock_);
        if (closing_) {
            return false;
        }
        queue_.push_back(Message{message, wParam, lParam});
        wakeup = wakeup_;
    }
    posted_.notify_all();
    if (wakeup && *wakeup) {
        (*wakeup)();
    }
    return true;
}

int MessageWindow::DispatchPending() {
    if (std::this_thread::get_id() != ownerThread) {
        return -1;
    }
    size_t budget = 0;
    {
        std::lock_guard<std::mutex> hold(queueLock_);
        budget = queue_.size();  // what comes in meanwhile waits for the next drain
    }
    int dispatched = 0;
    for (; budget > 0; --budget) {
        Message next{};
        {
            std::lock_guard<std::mutex> hold(queueLock_);
            if (queue_.empty()) {
                break;
            }
            next = queue_.front();
            queue_.pop_front();
        }
        WindowProc(next.message, next.wParam, next.lParam);
        ++dispatched;
    }
    return dispatched;
}

bool MessageWindow::WaitForMessages(int32_t timeoutMs) {
    std::unique_lock<std::mutex> hold(queueLock_);
    const auto ready = [this] { return !queue_.empty(); };
    if (timeoutMs < 0) {
        posted_.wait(hold, ready);
        return true;
    }
    return posted_.wait_for(hold, std::chrono::milliseconds(timeoutMs), ready);
}

int MessageWindow::DiscardPending(uint32_t message) {
    std::lock_guard<std::mutex> hold(queueLock_);
    const size_t before = queue_.size();
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [message](const Message& m) { return m.message == message; }),
                 queue_.end());
    return static_cast<int>(before - queue_.size());
}

void MessageWindow::SetWakeup(std::function<void()> wakeup) {
    auto shared = std::make_shared<const std::function<void()>>(std::move(wakeup));
    std::lock_guard<std::mutex> hold(queueLock_);
    wakeup_ = std::move(shared);
}

int MessageWindow::PendingCount() {
    std::lock_guard<std::mutex> hold(queueLock_);
    return static_cast<int>(queue_.size());
}

int MessageWindow::InstanceCount() {
    std::lock_guard<std::mutex> hold(Class().lock);
    return Class().instances;
}

bool MessageWindow::IsClassRegistered() {
    std::lock_guard<std::mutex> hold(Class().lock);
    return Class().registered;
}

int MessageWindow::RegistrationCount() {
    std::lock_guard<std::mutex> hold(Class().lock);
    return Class().registrations;
}
