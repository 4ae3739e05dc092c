#include "transport/Stopwatch.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<uint32_t> testOffset{0};
}

uint32_t Stopwatch::Now() {
    // CLOCK_MONOTONIC on Linux, the performance counter on Windows.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<uint32_t>(ms) + testOffset.load(std::memory_order_relaxed);
}

void Stopwatch::SetTestOffset(uint32_t offsetMs) {
    testOffset.store(offsetMs, std::memory_order_relaxed);
}

uint32_t Stopwatch::Elapsed() const {
    const uint32_t t = Now();
    // Keeps the counter's historic wrap rule, which counts one millisecond less across the wrap.
    return t >= start ? t - start : t + (0xFFFFFFFFu - start);
}

uint32_t Stopwatch::Remaining(uint32_t budgetMs) const {
    const uint32_t spent = Elapsed();
    return spent >= budgetMs ? 0 : budgetMs - spent;
}
