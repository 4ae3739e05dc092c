#include "transport/ManualResetEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

ManualResetEvent::ManualResetEvent() : handle_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (handle_ < 0) {
        std::abort();  // out of descriptors at construction: nothing sane to wait on
    }
}

ManualResetEvent::~ManualResetEvent() {
    close(static_cast<int>(handle_));
}

void ManualResetEvent::Set() {
    // The counter only grows from 0 to 1 here; a second Set while set adds to it harmlessly.
    const uint64_t one = 1;
    while (write(static_cast<int>(handle_), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ManualResetEvent::Reset() {
    uint64_t value = 0;
    while (read(static_cast<int>(handle_), &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool ManualResetEvent::IsSet() const {
    return Wait(0);
}

bool ManualResetEvent::Wait(int32_t timeoutMs) const {
    pollfd waiter{static_cast<int>(handle_), POLLIN, 0};
    for (;;) {
        const int ready = poll(&waiter, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready >= 0) {
            return ready > 0;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}
