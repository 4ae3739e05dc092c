#pragma once

#include <cstdint>

// A manual-reset event over an eventfd, so a thread can poll() it together with a socket or a
// serial device. Set and Reset may be called from any thread.
class ManualResetEvent {
public:
    ManualResetEvent();
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // True when set within `timeoutMs` (negative: no limit).
    bool Wait(int32_t timeoutMs) const;
    // Readable while set.
    int Fd() const { return fd_; }

private:
    int fd_;
};
