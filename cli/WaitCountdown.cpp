#include "cli/WaitCountdown.h"

#include <algorithm>

#include "console/DisplayWidth.h"
#include "console/TerminalText.h"

namespace {
// "ESC [ K": erase to the end of the line.
constexpr const char* kClearToEnd = "\x1b[K";
}  // namespace

void WaitCountdown::Begin(int64_t key, int64_t maxMs, TextFor text) {
    const bool continues = lineOpen_ && !running_ && key == key_;
    if (!continues) {
        MakeRoom();
    }
    key_ = key;
    text_ = std::move(text);
    running_ = true;
    lineOpen_ = true;
    deadline_ =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(maxMs, 0));
    if (!enabled_) {
        return;
    }
    if (terminal_) {
        Draw();
    } else if (!continues) {
        std::fprintf(out_, "%s\n",
                     EscapeForTerminal(text_((std::max<int64_t>(maxMs, 0) + 999) / 1000)).c_str());
        std::fflush(out_);
    }
}

void WaitCountdown::Tick() {
    if (running_ && terminal_ && enabled_) {
        Draw();
    }
}

void WaitCountdown::End() {
    running_ = false;
}

void WaitCountdown::MakeRoom() {
    if (running_) {
        if (drawn_) {
            std::fprintf(out_, "\r%s", kClearToEnd);
            std::fflush(out_);
            drawn_ = false;
        }
        return;
    }
    if (lineOpen_ && drawn_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    lineOpen_ = false;
    drawn_ = false;
}

void WaitCountdown::Draw() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline_ - std::chrono::steady_clock::now())
                          .count();
    const std::string line = EscapeForTerminal(text_((std::max<int64_t>(left, 0) + 999) / 1000));
    if (drawn_ && line == shown_) {
        return;
    }
    // Nothing in the last column: some terminals wrap as soon as it is written.
    const int columns = columns_ ? columns_() : 80;
    std::fprintf(out_, "\r%s%s",
                 CutToWidth(line, static_cast<size_t>(std::max(columns - 1, 1))).c_str(),
                 kClearToEnd);
    std::fflush(out_);
    shown_ = line;
    drawn_ = true;
}
