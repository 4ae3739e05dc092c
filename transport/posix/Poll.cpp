#include "transport/posix/Poll.h"

#include <cerrno>

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int ready = poll(fds, count, timeoutMs);
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}
