#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The flashing progress of one file. On a terminal a bar redrawn in place (percent, blocks,
// bytes per second, time left; the rest of the line is cleared so nothing stale stays), else
// one line per 10 %. The stage label is printed once by the caller, not with every line.
class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* out, bool terminal, bool enabled)
        : out_(out), terminal_(terminal), enabled_(enabled) {}

    // `blocks`: how many steps make the file.
    void Start(int64_t blocks);
    void Step();
    // Ends the line of a bar that is still drawn.
    void Finish();
    // Clears a drawn bar so that another line can be written; the next step draws it again.
    void Hide();

    int64_t Done() const { return done_; }
    int64_t Total() const { return maximum_; }
    int Percent() const;
    double BytesPerSecond() const;
    // -1 while too little is known.
    int64_t SecondsLeft() const;

private:
    void Draw();

    std::FILE* out_;
    bool terminal_;
    bool enabled_;
    int64_t maximum_ = 1;
    int64_t done_ = 0;
    int lastDecile_ = -1;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// "1:05" for 65 seconds, "?" for a negative value.
std::string DurationText(int64_t seconds);
