// Every handle here is a waitable object: an event (the signal pipe's, or that of a pipe's
// pending overlapped read) or a process. Up to 64 are waited on at once by
// WaitForMultipleObjects; beyond its limit each gets a wait of the thread pool that sets one
// shared event, so a fleet of any size is served alike.
#include "console/SystemHandle.h"

#include <windows.h>

#include <algorithm>

namespace {

DWORD Milliseconds(std::chrono::milliseconds bound) {
    return static_cast<DWORD>(std::clamp<std::int64_t>(bound.count(), 0, INFINITE - 1));
}

bool IsSignalled(HANDLE handle) {
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

void CALLBACK SetSharedEvent(void* event, BOOLEAN) {
    SetEvent(static_cast<HANDLE>(event));
}

// More handles than WaitForMultipleObjects takes.
void WaitThroughThreadPool(const std::vector<HANDLE>& handles, DWORD bound) {
    HANDLE any = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (any == nullptr) {
        Sleep(std::min<DWORD>(bound, 20));  // out of handles: the caller looks again soon
        return;
    }
    std::vector<HANDLE> waits;
    for (const HANDLE handle : handles) {
        HANDLE wait = nullptr;
        if (RegisterWaitForSingleObject(&wait, handle, SetSharedEvent, any, INFINITE,
                                        WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
            waits.push_back(wait);
        } else {
            SetEvent(any);  // one that cannot be waited on is looked at below, at once
        }
    }
    WaitForSingleObject(any, bound);
    for (const HANDLE wait : waits) {
        UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);  // returns once no callback runs
    }
    CloseHandle(any);
}

}  // namespace

std::vector<bool> WaitReadable(const std::vector<SystemHandle>& handles,
                               std::chrono::milliseconds bound) {
    std::vector<HANDLE> waitable;
    for (const SystemHandle& handle : handles) {
        if (handle.Valid()) {
            waitable.push_back(reinterpret_cast<HANDLE>(handle.native));
        }
    }
    const DWORD limit = Milliseconds(bound);
    if (waitable.empty()) {
        Sleep(limit);
    } else if (waitable.size() <= MAXIMUM_WAIT_OBJECTS) {
        WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), FALSE, limit);
    } else {
        WaitThroughThreadPool(waitable, limit);
    }
    // The wait names only the first that is ready; the others are asked one by one.
    std::vector<bool> ready;
    for (const SystemHandle& handle : handles) {
        ready.push_back(handle.Valid() && IsSignalled(reinterpret_cast<HANDLE>(handle.native)));
    }
    return ready;
}
