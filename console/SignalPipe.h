#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "console/SystemHandle.h"

// The requests to stop that the command-line programs heed, numbered as POSIX numbers their
// signals everywhere, so that 128 + the number is the exit status on every system. On Windows
// the console's Ctrl-C and Ctrl-Break arrive as kSignalInterrupt, its closing as
// kSignalHangUp, a log-off or shut-down as kSignalTerminate; a parent's ChildProcess::Interrupt
// arrives as kSignalInterrupt also where the console does not carry it.
constexpr int kSignalHangUp = 1;
constexpr int kSignalInterrupt = 2;
constexpr int kSignalTerminate = 15;

// SIGINT, SIGTERM and SIGHUP turned into numbers that wait in a pipe instead of running code
// where they strike: a loop waits on Handle() beside its other handles and takes them, or a
// thread blocks in Wait. A signal that was ignored when this was made (nohup, a background
// job of a shell without job control) stays ignored. One instance at a time; Stop(), or the
// destructor, puts the previous handlers back.
class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // False when the pipe could not be made (Error() says why): the signals keep their
    // default then, and end the process.
    bool Valid() const { return valid_; }
    const std::string& Error() const { return error_; }

    // Readable while a signal waits to be taken.
    SystemHandle Handle() const;
    // The numbers of the signals that came, in their order, without waiting.
    std::vector<int> Take();
    // The next signal's number; 0 when none came within `bound` (without one: for ever) or
    // when Stop() was called.
    int Wait(std::optional<std::chrono::milliseconds> bound = std::nullopt);
    // Puts the previous handlers back and ends a Wait in another thread; a signal from now
    // on has its previous effect.
    void Stop();

    // "SIGINT", "SIGTERM", "SIGHUP"; "signal N" for another number.
    static std::string Name(int signal);

private:
    bool valid_ = false;
    bool stopped_ = false;
    std::string error_;
};
