#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The flashing progress of one file: a redrawn bar with blocks and bytes per second on a
// terminal, one line per 10 % otherwise.
class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

    // `blocks`: how many steps make the file.
    void Start(const std::string& label, int64_t blocks);
    void Step();
    // Ends the line of a bar that is still drawn.
    void Finish();

    int64_t Done() const { return done_; }

private:
    void Draw();

    std::FILE* out_;
    bool terminal_;
    std::string label_;
    int64_t maximum_ = 0;
    int64_t done_ = 0;
    int lastDecile_ = -1;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_;
};
