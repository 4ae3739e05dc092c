#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

// A stream or waitable object of the operating system as the portable code holds it: a file
// descriptor on POSIX, a HANDLE on Windows (where a pipe is waited on through the event of its
// pending overlapped read). -1 is neither a descriptor nor a valid HANDLE.
struct SystemHandle {
    std::intptr_t native = -1;

    bool Valid() const { return native != -1; }
};

// Waits until one of `handles` has something to read (or its writer closed it) or `bound`
// passes; a signal does not cut the wait short. Which of them are ready, in their order; an
// invalid handle never is.
std::vector<bool> WaitReadable(const std::vector<SystemHandle>& handles,
                               std::chrono::milliseconds bound);
