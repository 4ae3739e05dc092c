#include "cli/ProgressDisplay.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 30;
constexpr int64_t kBlockBytes = 64;
// "ESC [ K": erase to the end of the line.
constexpr const char* kClearToEnd = "\x1b[K";
}  // namespace

std::string DurationText(int64_t seconds) {
    if (seconds < 0) {
        return "?";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

void ProgressDisplay::Start(int64_t maximum) {
    Finish();
    maximum_ = std::max<int64_t>(maximum, 1);
    done_ = 0;
    lastDecile_ = -1;
    started_ = std::chrono::steady_clock::now();
    lastDraw_ = {};
    Draw();
}

void ProgressDisplay::Step() {
    ++done_;
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
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return seconds > 0 ? static_cast<double>(done_ * kBlockBytes) / seconds : 0.0;
}

int64_t ProgressDisplay::SecondsLeft() const {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (done_ < 2 || seconds < 0.5) {
        return done_ >= maximum_ ? 0 : -1;
    }
    const double left = seconds * static_cast<double>(maximum_ - std::min(done_, maximum_)) /
                        static_cast<double>(done_);
    return static_cast<int64_t>(left + 0.5);
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
        const int filled = static_cast<int>(shown * kBarWidth / maximum_);
        std::fprintf(out_, "\r  [%s%s] %3d %%  %lld/%lld blocks  %.0f B/s  %s left%s",
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(), Percent(),
                     static_cast<long long>(shown), static_cast<long long>(maximum_),
                     BytesPerSecond(), DurationText(SecondsLeft()).c_str(), kClearToEnd);
        std::fflush(out_);
        drawn_ = true;
        return;
    }
    const int decile = static_cast<int>(shown * 10 / maximum_);
    if (decile != lastDecile_) {
        lastDecile_ = decile;
        std::fprintf(out_, "  %d %% (%lld/%lld blocks, %.0f B/s, %s left)\n", decile * 10,
                     static_cast<long long>(shown), static_cast<long long>(maximum_),
                     BytesPerSecond(), DurationText(SecondsLeft()).c_str());
        std::fflush(out_);
    }
}
