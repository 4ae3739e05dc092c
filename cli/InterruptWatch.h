#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "console/SignalPipe.h"

// SIGINT, SIGTERM and SIGHUP for the command line, as a SignalPipe delivers them to a watcher
// thread. While something may be on its way to the coder
// (SetTalkingToCoder), the first signal calls `onStop`, which wakes the main loop, where the
// procedure is asked to stop at a safe point. Otherwise nothing needs to complete, and the
// main thread may be blocked where no loop sees a request (opening a FIFO): the watcher calls
// `onEndNow` to say so and ends the process at once. A second signal within two seconds of
// the first ends the process at once as well. The exit status is 128 + the signal's number.
// One instance at a time; the destructor puts the default handlers back.
class InterruptWatch {
public:
    InterruptWatch(std::function<void(int signal)> onStop,
                   std::function<void(int signal)> onEndNow);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Interrupted() const { return signal_.load() != 0; }
    // The first signal's number, 0 before one came.
    int Signal() const { return signal_.load(); }
    // 128 + the first signal's number, as a shell reports a process that a signal ended.
    int ExitStatus() const { return 128 + signal_.load(); }
    // Waits while `onEndNow` runs, so that nothing is sent to the coder once the process is
    // being ended.
    void SetTalkingToCoder(bool talking);
    // The text written to standard error when a second signal ends the process.
    void SetLastWords(std::string text);

    // "SIGINT", "SIGTERM", "SIGHUP".
    static std::string SignalName(int signal);

private:
    void Watch();

    SignalPipe signals_;
    std::function<void(int)> onStop_;
    std::function<void(int)> onEndNow_;
    std::atomic<int> signal_{0};
    std::mutex talkingMutex_;
    bool talking_ = false;
    std::string lastWords_;
    std::thread watcher_;
};
