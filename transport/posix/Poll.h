#pragma once

#include <poll.h>

#include "transport/NativeHandle.h"

// poll() for the POSIX implementations of the transports.

// The descriptor a NativeHandle holds on POSIX.
inline int Descriptor(NativeHandle handle) {
    return static_cast<int>(handle);
}

// poll() that carries on after a signal.
int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs);
