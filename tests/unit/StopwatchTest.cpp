#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "transport/Stopwatch.h"

namespace {

class StopwatchTest : public ::testing::Test {
protected:
    void TearDown() override { Stopwatch::SetTestOffset(0); }

    // Moves the counter so that it shows `value` now.
    static void ShowCounter(uint32_t value) {
        Stopwatch::SetTestOffset(0);
        Stopwatch::SetTestOffset(value - Stopwatch::Now());
    }
};

TEST_F(StopwatchTest, CountsAcrossTheWrapByTheCounterRule) {
    ShowCounter(0xFFFFFFFFu - 9);  // 10 ms before the wrap
    Stopwatch watch;
    ShowCounter(5);
    // 5 + (4294967295 - start) = 5 + 9
    const uint32_t elapsed = watch.Elapsed();
    EXPECT_NEAR(elapsed, 14u, 1u);  // the clock may tick between the reads
}

TEST_F(StopwatchTest, MeasuresRealTimeAndBudgets) {
    ShowCounter(0xFFFFFFFFu - 20);
    Stopwatch watch;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_GE(watch.Elapsed(), 58u);
    EXPECT_LT(watch.Elapsed(), 2000u);
    EXPECT_EQ(watch.Remaining(10), 0u);
    EXPECT_GT(watch.Remaining(100000), 90000u);
    watch.Restart();
    EXPECT_LT(watch.Elapsed(), 50u);
}

}  // namespace
