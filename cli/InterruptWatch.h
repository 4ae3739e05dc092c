#pragma once

#include <atomic>
#include <functional>
#include <thread>

// SIGINT and SIGTERM for the command line. The handler only writes one byte into a pipe; a
// watcher thread reads it and calls `onFirst` (which wakes the main loop, where the procedure
// is asked to stop at a safe point). A second signal within two seconds of the first ends the
// process at once with exit status 130. One instance at a time; the destructor puts the
// default handlers back.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onFirst);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Interrupted() const { return interrupted_.load(); }
    // The text written to standard error when a second signal ends the process.
    void SetLastWords(std::string text);

private:
    void Watch();

    std::function<void()> onFirst_;
    std::atomic<bool> interrupted_{false};
    std::string lastWords_;
    std::thread watcher_;
};
