#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/SleepingThread.h"
#include "transport/FrameDataListCS.h"

namespace {

std::unique_ptr<FrameData> Frame(uint8_t tag) {
    return std::make_unique<FrameData>(1, &tag);
}

TEST(ObjectList, ReserveGrowsAndShrinksInBlocksOf16) {
    ObjectList<FrameData, 16> list;
    list.Reserve(15);
    EXPECT_EQ(list.SlotCount(), 16);
    list.Reserve(16);
    EXPECT_EQ(list.SlotCount(), 32);
    for (uint8_t i = 0; i < 16; ++i) {
        list.Append(Frame(i));
    }
    EXPECT_EQ(list.SlotCount(), 32);
    EXPECT_EQ(list.capacityBytes, 2 * list.blockBytes);
    // Back to 15 entries: down to 16 slots, order kept.
    auto first = list.TakeFirst();
    EXPECT_EQ(first->bytes[0], 0);
    EXPECT_EQ(list.count, 15);
    EXPECT_EQ(list.SlotCount(), 16);
    for (int32_t i = 0; i < list.count; ++i) {
        EXPECT_EQ(list.items[i]->bytes[0], i + 1);
    }
    list.Clear();
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.SlotCount(), 16);
    EXPECT_EQ(list.TakeFirst(), nullptr);
}

TEST(FrameDataListCS, PushDropsTheOldestBeyondTheBound) {
    FrameDataListCS list;
    for (uint8_t i = 0; i < 33; ++i) {
        list.Push(Frame(i), 32);
    }
    EXPECT_EQ(list.count, 32);
    EXPECT_EQ(list.items[0]->bytes[0], 1);
    EXPECT_EQ(list.items[31]->bytes[0], 32);
}

TEST(FrameDataListCS, WaiterWakesWhenAFrameArrives) {
    FrameDataListCS list;
    const pid_t waiter = CurrentThreadId();
    const auto before = std::chrono::steady_clock::now();
    std::thread producer([&] {
        EXPECT_TRUE(WaitUntilAsleep(waiter)) << "the waiter never slept in its wait";
        list.Push(Frame(7));
    });
    auto frame = list.WaitTakeFirst(5000);
    const auto waited = std::chrono::steady_clock::now() - before;
    producer.join();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->bytes[0], 7);
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

TEST(FrameDataListCS, WaitEndsEmptyAfterItsBudget) {
    FrameDataListCS list;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(list.WaitTakeFirst(50), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
}

}  // namespace
