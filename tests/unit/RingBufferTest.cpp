#include <gtest/gtest.h>

#include <vector>

#include "transport/RingBuffer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(RingBuffer, WritesAreAllOrNothing) {
    RingBuffer ring(8);
    const Bytes five = {1, 2, 3, 4, 5};
    ASSERT_TRUE(ring.Write(five.data(), 5));
    EXPECT_FALSE(ring.Write(five.data(), 4));  // only 3 free
    EXPECT_EQ(ring.count, 5);
    EXPECT_TRUE(ring.Write(five.data(), 3));  // exactly the free space
    EXPECT_EQ(ring.count, 8);
    EXPECT_FALSE(ring.Write(five.data(), 1));
}

TEST(RingBuffer, WrapsAcrossTheEndAndReadsBackInOrder) {
    RingBuffer ring(8);
    const Bytes first = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(ring.Write(first.data(), 6));
    ASSERT_TRUE(ring.Read(nullptr, 5));  // discarded
    const Bytes second = {7, 8, 9, 10, 11};
    ASSERT_TRUE(ring.Write(second.data(), 5));  // 2 at the end, 3 from index 0
    EXPECT_EQ(ring.writePos, 3);
    Bytes out(6);
    ASSERT_TRUE(ring.Peek(out.data(), 6));
    EXPECT_EQ(out, (Bytes{6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(ring.count, 6);  // peek removes nothing
    Bytes two(2);
    ASSERT_TRUE(ring.Read(two.data(), 2));
    EXPECT_EQ(two, (Bytes{6, 7}));
    EXPECT_EQ(ring.count, 4);
}

TEST(RingBuffer, RefusesBadArguments) {
    RingBuffer ring(4);
    const uint8_t one = 1;
    EXPECT_TRUE(ring.Write(&one, 0));
    EXPECT_FALSE(ring.Write(nullptr, 0));
    EXPECT_FALSE(ring.Write(&one, -1));
    uint8_t out[4];
    EXPECT_FALSE(ring.Peek(nullptr, 0));
    EXPECT_FALSE(ring.Peek(out, 1));  // more than count
    EXPECT_FALSE(ring.Read(out, 1));
    EXPECT_TRUE(ring.Read(out, 0));
    ASSERT_TRUE(ring.Write(&one, 1));
    EXPECT_FALSE(ring.Read(out, 2));
    EXPECT_EQ(ring.count, 1);
}

TEST(RingBuffer, CapacityZeroHasNoStorage) {
    RingBuffer ring(0);
    EXPECT_EQ(ring.storage, nullptr);
    const uint8_t one = 1;
    EXPECT_FALSE(ring.Write(&one, 1));
    EXPECT_EQ(ring.SetCapacity(-4), 0);
    EXPECT_EQ(ring.SetCapacity(16), 16);
    EXPECT_TRUE(ring.Write(&one, 1));
    ring.Clear();
    EXPECT_EQ(ring.count, 0);
    EXPECT_NE(ring.storage, nullptr);
}

}  // namespace
