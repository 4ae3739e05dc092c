#include "transport/FrameDataListCS.h"

#include <chrono>

void FrameDataListCS::Push(std::unique_ptr<FrameData> frame, int32_t maxCount) {
    CriticalSectionLock hold(*this);
    while (maxCount > 0 && count >= maxCount) {
        TakeFirst();
    }
    Append(std::move(frame));
    // Woken under the lock: a waiter that takes this frame may go on to destroy the list (a
    // NetPC handler after its exchange), which must not happen while we still notify.
    arrived_.notify_all();
}

std::unique_ptr<FrameData> FrameDataListCS::WaitTakeFirst(uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<MyCriticalSection> hold(*this);
    arrived_.wait_until(hold, deadline, [this] { return count > 0; });
    return TakeFirst();
}
