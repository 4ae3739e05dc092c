#pragma once

#include <cstdint>

#include "transport/NativeHandle.h"

// A manual-reset event that the I/O thread can wait on together with its socket or serial
// device: an eventfd for poll() on POSIX, an event object for WaitForMultipleObjects on
// Windows. Set and Reset may be called from any thread.
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
    // Signalled while set: readable on POSIX.
    NativeHandle Handle() const { return handle_; }

private:
    NativeHandle handle_;
};
