#include "cli/ProgressDisplay.h"

#include <algorithm>
#include <cstring>

#include "console/DisplayWidth.h"

namespace {
constexpr int kWidestBar = 30;
constexpr int kNarrowestBar = 10;
constexpr int64_t kBlockBytes = 64;
constexpr int kDefaultColumns = 80;
// "ESC [ K": erase to the end of the line.
constexpr const char* kClearToEnd = "\x1b[K";

std::string Printed(const char* format, long long a, long long b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

double SecondsSince(std::chrono::steady_clock::time_point then) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - then).count();
}

}  // namespace

std::string DurationText(int64_t seconds) {
    if (seconds < 0) {
        return "?";
    }
    return Printed("%lld:%02lld", seconds / 60, seconds % 60);
}

std::string RateText(double bytesPerSecond) {
    const double kib = std::max(bytesPerSecond, 0.0) / 1024.0;
    char text[32];
    std::snprintf(text, sizeof text, kib < 99.95 ? "%.1f KiB/s" : "%.0f KiB/s", kib);
    return text;
}

std::string ProgressLine(const ProgressFigures& figures, int width) {
    const size_t room = static_cast<size_t>(std::max(width, 0));
    const int64_t total = std::max<int64_t>(figures.total, 1);
    const int64_t shown = std::clamp<int64_t>(figures.done, 0, total);
    const std::string percent = Printed("%3lld %%", figures.percent);
    const std::string blocks = Printed("  %lld/%lld blocks", shown, total);
    const std::string rate =
        figures.bytesPerSecond >= 0 ? "  " + RateText(figures.bytesPerSecond) : std::string();
    const std::string left =
        figures.secondsLeft >= 0 ? "  " + DurationText(figures.secondsLeft) + " left" : "";

    struct Variant {
        bool indent, bar, blocks, rate, left;
    };
    constexpr Variant kVariants[] = {
        {true, true, true, true, true},     {true, true, false, true, true},
        {true, true, false, false, true},   {true, false, false, false, true},
        {false, false, false, false, true}, {false, false, false, false, false},
    };
    // Room is kept for the widest figures from the start, so that the bar does not jump when
    // the rate and the time left appear or the count gains a digit.
    const size_t blocksRoom = Printed("  %lld/%lld blocks", total, total).size();
    const size_t rateRoom = std::max<size_t>(rate.size(), std::strlen("  999.9 KiB/s"));
    const size_t leftRoom = std::max<size_t>(left.size(), std::strlen("  99:59 left"));
    for (const Variant& v : kVariants) {
        const std::string tail =
            percent + (v.blocks ? blocks : "") + (v.rate ? rate : "") + (v.left ? left : "");
        const size_t fixed = (v.indent ? 2 : 0) + percent.size() + (v.blocks ? blocksRoom : 0) +
                             (v.rate ? rateRoom : 0) + (v.left ? leftRoom : 0);
        std::string bar;
        if (v.bar) {
            // "[" inner "] " around the bar.
            if (fixed + 3 + kNarrowestBar > room) {
                continue;
            }
            const int inner = static_cast<int>(std::min<size_t>(kWidestBar, room - fixed - 3));
            const int filled = static_cast<int>(shown * inner / total);
            bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                  std::string(static_cast<size_t>(inner - filled), '.') + "] ";
        }
        if (fixed + bar.size() <= room) {
            return (v.indent ? "  " : "") + bar + tail;
        }
    }
    return CutToWidth(percent, room);
}

void ProgressDisplay::Start(int64_t maximum) {
    Finish();
    maximum_ = std::max<int64_t>(maximum, 1);
    done_ = 0;
    lastDecile_ = -1;
    started_ = std::chrono::steady_clock::now();
    firstStep_ = started_;
    lastDraw_ = {};
    Draw();
}

void ProgressDisplay::Step() {
    if (++done_ == 1) {
        firstStep_ = std::chrono::steady_clock::now();
    }
    Draw();
}

void ProgressDisplay::Finish() {
    if (terminal_ && drawn_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    drawn_ = false;
}

void ProgressDisplay::Hide() {
    if (terminal_ && drawn_) {
        std::fprintf(out_, "\r%s", kClearToEnd);
        std::fflush(out_);
        drawn_ = false;
        lastDraw_ = {};
    }
}

int ProgressDisplay::Percent() const {
    return static_cast<int>(std::min(done_, maximum_) * 100 / maximum_);
}

double ProgressDisplay::BytesPerSecond() const {
    const double seconds = SecondsSince(started_);
    return seconds > 0 ? static_cast<double>(done_ * kBlockBytes) / seconds : 0.0;
}

double ProgressDisplay::MeasuredBytesPerSecond() const {
    // A step comes before its block is sent: the blocks before the current one are through.
    const int64_t through = done_ - 1;
    const double seconds = SecondsSince(firstStep_);
    if (through < 1 || seconds <= 0) {
        return -1;
    }
    return static_cast<double>(through * kBlockBytes) / seconds;
}

int64_t ProgressDisplay::SecondsLeft() const {
    if (done_ >= maximum_) {
        return 0;
    }
    const double rate = MeasuredBytesPerSecond();
    if (rate <= 0) {
        return -1;
    }
    const double bytesLeft = static_cast<double>((maximum_ - done_ + 1) * kBlockBytes);
    return static_cast<int64_t>(bytesLeft / rate + 0.5);
}

ProgressFigures ProgressDisplay::Figures() const {
    ProgressFigures figures;
    figures.done = done_;
    figures.total = maximum_;
    figures.percent = Percent();
    figures.bytesPerSecond = MeasuredBytesPerSecond();
    figures.secondsLeft = SecondsLeft();
    return figures;
}

void ProgressDisplay::Draw() {
    if (!enabled_) {
        return;
    }
    const int64_t shown = std::min(done_, maximum_);
    const auto now = std::chrono::steady_clock::now();
    if (terminal_) {
        // Redrawing every block would cost more than the line; ten times a second is enough.
        if (shown != maximum_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
            return;
        }
        lastDraw_ = now;
        // Nothing in the last column: some terminals wrap as soon as it is written.
        const int columns = columns_ ? columns_() : kDefaultColumns;
        std::fprintf(out_, "\r%s%s", ProgressLine(Figures(), columns - 1).c_str(), kClearToEnd);
        std::fflush(out_);
        drawn_ = true;
        return;
    }
    const int decile = static_cast<int>(shown * 10 / maximum_);
    if (decile != lastDecile_) {
        lastDecile_ = decile;
        const ProgressFigures figures = Figures();
        std::string line =
            Printed("  %d %% (%lld", decile * 10, shown) + Printed("/%lld blocks", maximum_);
        if (figures.bytesPerSecond >= 0) {
            line += ", " + RateText(figures.bytesPerSecond) + ", " +
                    DurationText(figures.secondsLeft) + " left";
        }
        std::fprintf(out_, "%s)\n", line.c_str());
        std::fflush(out_);
    }
}
