#pragma once

#include <windows.h>

#include <chrono>
#include <string>

#include "console/ChildProcess.h"

// Our end of a child's output pipe: a named pipe opened for overlapped reading, with a read
// always pending on it, so that a read has a bound and the pending read's event is what
// WaitReadable waits on (set once it completed, or the pipe ended). It stays where it was made:
// the system writes into it.
class ChildPipe {
public:
    ChildPipe() = default;
    ~ChildPipe() { Close(); }
    ChildPipe(const ChildPipe&) = delete;
    ChildPipe& operator=(const ChildPipe&) = delete;

    // Makes the pipe and the child's end of it, which the child may inherit and the caller
    // closes once the child has it; false with `error` set when the system refused.
    bool Make(HANDLE& childEnd, std::string& error);
    // The first read, once the child holds its end.
    void Start();

    bool Open() const { return pipe_ != nullptr; }
    HANDLE Event() const { return event_; }
    // Appends what came, waiting up to `bound` for the first byte; Closed (and closed) once the
    // child's end is closed and everything was read.
    ChildRead Read(std::string& into, std::chrono::milliseconds bound);
    void Close();

private:
    enum class Outcome { Data, Nothing, Ended };
    bool StartRead();
    Outcome Collect(std::string& into);

    HANDLE pipe_ = nullptr;
    HANDLE event_ = nullptr;
    OVERLAPPED overlapped_{};
    char buffer_[4096];
    bool pending_ = false;
};
