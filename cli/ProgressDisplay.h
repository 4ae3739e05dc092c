#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// What the bar line shows; a negative rate or time left is not known yet.
struct ProgressFigures {
    int64_t done = 0;
    int64_t total = 1;
    int percent = 0;
    double bytesPerSecond = -1;
    int64_t secondsLeft = -1;
};

// The bar line in at most `width` columns: the bar narrows first, then the blocks, the rate,
// the bar and the indent are left out in that order; the percent stays to the last.
std::string ProgressLine(const ProgressFigures& figures, int width);

// The flashing progress of one file. On a terminal a bar redrawn in place that never wraps
// (percent, blocks, rate, time left; the rest of the line is cleared so nothing stale stays),
// else one line per 10 %. The stage label is printed once by the caller, not with every line.
class ProgressDisplay {
public:
    // `columns`: the terminal's width, asked at every redraw (it may change while flashing).
    ProgressDisplay(std::FILE* out, bool terminal, bool enabled, std::function<int()> columns = {})
        : out_(out), terminal_(terminal), enabled_(enabled), columns_(std::move(columns)) {}

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
    // The mean since the file's range arrived.
    double BytesPerSecond() const;
    // From the blocks acknowledged since the first one began, so known once one block is
    // through; -1 before.
    int64_t SecondsLeft() const;

private:
    void Draw();
    // The rate over the acknowledged blocks; -1 before the first is through.
    double MeasuredBytesPerSecond() const;
    ProgressFigures Figures() const;

    std::FILE* out_;
    bool terminal_;
    bool enabled_;
    std::function<int()> columns_;
    int64_t maximum_ = 1;
    int64_t done_ = 0;
    int lastDecile_ = -1;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point firstStep_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// "1:05" for 65 seconds, "?" for a negative value.
std::string DurationText(int64_t seconds);
// "6.2 KiB/s", "120 KiB/s".
std::string RateText(double bytesPerSecond);
