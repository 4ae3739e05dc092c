#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// The line that says what the procedure waits for. On a terminal it counts the longest the
// wait may last down in place, as the wizard's wait line does, and is left standing when the
// wait ends; otherwise it is printed once, with the longest wait. A wait that goes on at once
// with the same text (the NetPC switch and the BIOS query both wait for the BIOS) stays in the
// same line instead of printing it again.
class WaitCountdown {
public:
    // The line for so many seconds left.
    using TextFor = std::function<std::string(int64_t secondsLeft)>;

    WaitCountdown(std::FILE* out, bool terminal, bool enabled, std::function<int()> columns)
        : out_(out), terminal_(terminal), enabled_(enabled), columns_(std::move(columns)) {}
    ~WaitCountdown() { MakeRoom(); }

    // `key` tells one wait from another: the same key right after an ended wait continues it.
    void Begin(int64_t key, int64_t maxMs, TextFor text);
    // Redraws the count when a second has passed; called a few times a second.
    void Tick();
    void End();
    // Before any other output: a running count is cleared (and redrawn by the next tick), the
    // line of an ended wait is closed.
    void MakeRoom();

private:
    void Draw();

    std::FILE* out_;
    bool terminal_;
    bool enabled_;
    std::function<int()> columns_;
    TextFor text_;
    int64_t key_ = 0;
    bool running_ = false;
    bool lineOpen_ = false;  // a line without its line feed, or, not on a terminal, a wait that
                             // may still go on in the line printed for it
    bool drawn_ = false;
    std::string shown_;
    std::chrono::steady_clock::time_point deadline_;
};
