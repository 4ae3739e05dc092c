#include "transport/DescriptorIO.h"

#include <cerrno>

#include "transport/IOHook.h"
#include "transport/Stopwatch.h"

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int ready = poll(fds, count, timeoutMs);
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}

uint32_t BudgetMs(const UECP_IO_ConnectionParams* params,
                  int32_t UECP_IO_ConnectionParams::*field) {
    return params != nullptr && params->*field > 0 ? static_cast<uint32_t>(params->*field) : 0;
}

int32_t WriteWithinBudget(int fd, const uint8_t* data, int32_t length, uint32_t budgetMs,
                          const std::function<ssize_t(const uint8_t*, size_t)>& writeSome,
                          const std::function<bool(int)>& isFatal) {
    const Stopwatch watch;
    int32_t done = 0;
    IOHookList& hooks = IOHookList::Instance();
    while (done < length) {
        ssize_t n = 0;
        {
            // The hooks learn of the bytes before the I/O thread can show them an answer to
            // them: the log must not read as if the device answered before it was asked.
            CriticalSectionLock hold(hooks.lock);
            n = writeSome(data + done, static_cast<size_t>(length - done));
            if (n > 0) {
                hooks.Notify(data + done, static_cast<int32_t>(n), kDirectionSent);
            }
        }
        if (n > 0) {
            done += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && isFatal(errno)) {
            break;  // gone, reset or shut down: waiting cannot get the bytes out
        }
        const uint32_t left = watch.Remaining(budgetMs);
        if (left == 0) {
            break;
        }
        pollfd writable{fd, POLLOUT, 0};
        PollRetrying(&writable, 1, static_cast<int>(left));
    }
    return done;
}
