#include "transport/Stopwatch.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<uint32_t> testOffset{0};
}

uint32_t Stopwatch::Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
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
