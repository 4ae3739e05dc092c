#include "console/SystemHandle.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

std::vector<bool> WaitReadable(const std::vector<SystemHandle>& handles,
                               std::chrono::milliseconds bound) {
    std::vector<pollfd> fds;
    for (const SystemHandle& handle : handles) {
        fds.push_back({static_cast<int>(handle.native), POLLIN, 0});  // poll skips -1
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        if (poll(fds.data(), fds.size(), timeout) >= 0 || errno != EINTR) {
            break;
        }
    }
    std::vector<bool> ready;
    for (const pollfd& fd : fds) {
        ready.push_back(fd.fd >= 0 && (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0);
    }
    return ready;
}
