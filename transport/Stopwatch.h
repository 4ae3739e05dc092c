#pragma once

#include <cstdint>

// Millisecond stopwatch on a 32-bit counter that wraps like the original tick counter.
class Stopwatch {
public:
    Stopwatch() : start(Now()) {}

    void Restart() { start = Now(); }
    uint32_t Elapsed() const;
    // Milliseconds left of `budgetMs`, 0 once spent.
    uint32_t Remaining(uint32_t budgetMs) const;

    // The monotonic clock in milliseconds, cut to 32 bits, plus the test offset.
    static uint32_t Now();
    // Test seam: shifts the counter so a test can run it up to its wrap.
    static void SetTestOffset(uint32_t offsetMs);

    uint32_t start;
};
