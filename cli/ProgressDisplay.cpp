#include "cli/ProgressDisplay.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 30;
constexpr int64_t kBlockBytes = 64;
}  // namespace

void ProgressDisplay::Start(const std::string& label, int64_t maximum) {
    Finish();
    label_ = label;
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

void ProgressDisplay::Draw() {
    const int64_t shown = std::min(done_, maximum_);
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_ * kBlockBytes) / seconds : 0.0;
    if (terminal_) {
        // Redrawing every block would cost more than the line; ten times a second is enough.
        if (shown != maximum_ && now - lastDraw_ < std::chrono::milliseconds(100)) {
            return;
        }
        lastDraw_ = now;
        const int filled = static_cast<int>(shown * kBarWidth / maximum_);
        std::fprintf(out_, "\r%s [%s%s] %lld/%lld blocks %.0f B/s", label_.c_str(),
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(),
                     static_cast<long long>(shown), static_cast<long long>(maximum_), rate);
        std::fflush(out_);
        drawn_ = true;
        return;
    }
    const int decile = static_cast<int>(shown * 10 / maximum_);
    if (decile != lastDecile_) {
        lastDecile_ = decile;
        std::fprintf(out_, "%s %d%% (%lld/%lld blocks, %.0f B/s)\n", label_.c_str(), decile * 10,
                     static_cast<long long>(shown), static_cast<long long>(maximum_), rate);
        std::fflush(out_);
    }
}
