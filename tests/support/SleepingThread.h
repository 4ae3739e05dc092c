#pragma once

// For tests of a wake-up: the event is handed over only once the waiter sleeps in its wait, so
// what is measured is the wake-up and not a frame that was there before the wait began. Linux:
// a thread's state is read from /proc.

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

inline pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Whether thread `tid` of this process is asleep in the kernel ("S" in its stat line) within
// `bound`. Only meaningful where the thread has no other blocking call on its way to the wait.
inline bool WaitUntilAsleep(pid_t tid,
                            std::chrono::milliseconds bound = std::chrono::milliseconds(5000)) {
    const std::string stat = "/proc/self/task/" + std::to_string(tid) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(stat);
        std::string line;
        std::getline(in, line);
        // "tid (name) S ...": the name may hold spaces and parentheses, the state follows the
        // last ')'.
        const size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S') {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}
